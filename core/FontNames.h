#pragma once
// The Japanese faces the board's controls name. The substitution set up at
// start resolves each to an installed face.
#include <QString>

namespace fonts {

inline QString msGothic() { return QStringLiteral("ＭＳ ゴシック"); }
inline QString msMincho() { return QStringLiteral("ＭＳ 明朝"); }
inline QString msPGothic() { return QStringLiteral("ＭＳ Ｐゴシック"); }
inline QString labelFace() { return QStringLiteral("ヌーベリア数字平体"); } // the ticket-number labels

} // namespace fonts
