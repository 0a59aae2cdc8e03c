#include "core/VbError.h"

#include <new>

namespace vb {

Error::Error(int number, QString description)
    : m_number(number),
      m_description(description.isEmpty() ? standardDescription(number) : std::move(description))
{
    m_what = QStringLiteral("%1: %2").arg(m_number).arg(m_description).toStdString();
}

QString Error::standardDescription(int number)
{
    switch (number) {
    case 5: return QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
    case 6: return QStringLiteral("オーバーフローしました。");
    case 7: return QStringLiteral("メモリが不足しています。");
    case 9: return QStringLiteral("インデックスが有効範囲にありません。");
    case 13: return QStringLiteral("型が一致しません。");
    case 28: return QStringLiteral("スタック領域が不足しています。");
    case 48: return QStringLiteral("DLL 読み込み時のエラーです。");
    case 51: return QStringLiteral("内部エラーです。");
    case 52: return QStringLiteral("ファイル名または番号が不正です。");
    case 53: return QStringLiteral("ファイルが見つかりません。");
    case 57: return QStringLiteral("デバイス I/O エラーです。");
    case 62: return QStringLiteral("ファイルにこれ以上データがありません。");
    case 68: return QStringLiteral("デバイスが準備されていません。");
    case 75: return QStringLiteral("パス名が無効です。");
    case 76: return QStringLiteral("パスが見つかりません。");
    case 380: return QStringLiteral("プロパティの値が不正です。");
    case 453: return QStringLiteral("DLL エントリ ポイントが見つかりません。");
    case 481: return QStringLiteral("ピクチャが不正です。");
    default: return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

void raise(int number, const QString &description)
{
    throw Error(number, description);
}

Error currentError() noexcept
{
    try {
        try {
            throw;
        } catch (const Error &e) {
            return e;
        } catch (const std::bad_alloc &) {
            return Error(ErrOutOfMemory);
        } catch (const std::exception &e) {
            const QString what = QString::fromLocal8Bit(e.what());
            return Error(ErrInternal, what.isEmpty() ? Error::standardDescription(ErrInternal) : what);
        } catch (...) {
            return Error(ErrInternal);
        }
    } catch (...) {
        // Building the description itself ran out of memory.
        return Error(ErrOutOfMemory, QString());
    }
}

} // namespace vb
