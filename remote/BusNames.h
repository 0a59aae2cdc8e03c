#pragma once
// Where the board is found on the session bus, and the names of its errors.
#include <QString>

namespace remote {

inline const QString kService = QStringLiteral("jp.soratobi.Board4");
inline const QString kPath = QStringLiteral("/Board");
inline const QString kInterface = QStringLiteral("jp.soratobi.Board4");

// Refusals: the board is as it was before the call.
namespace error {
inline const QString ModalOpen = QStringLiteral("jp.soratobi.Board4.Error.ModalOpen");
inline const QString InputHeld = QStringLiteral("jp.soratobi.Board4.Error.InputHeld");
inline const QString DisplayCleared = QStringLiteral("jp.soratobi.Board4.Error.DisplayCleared");
inline const QString NoRoute = QStringLiteral("jp.soratobi.Board4.Error.NoRoute");
inline const QString NoAnnouncements = QStringLiteral("jp.soratobi.Board4.Error.NoAnnouncements");
inline const QString Unavailable = QStringLiteral("jp.soratobi.Board4.Error.Unavailable");
// The name is owned, the windows are not up yet: a later start waits.
inline const QString Starting = QStringLiteral("jp.soratobi.Board4.Error.Starting");
inline const QString InvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
// The console ran the handler, which ended in its own message.
inline const QString NotLoaded = QStringLiteral("jp.soratobi.Board4.Error.NotLoaded");
inline const QString Failed = QStringLiteral("jp.soratobi.Board4.Error.Failed");
} // namespace error

} // namespace remote
