#include "core/KXP4Res.h"

#include "core/Cp932.h"
#include "core/VbError.h"
#include "helperlib/include/kxp4res_api.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <memory>

namespace kxp4 {

namespace {

const QString kLibName = QStringLiteral("KXP4Res.DLL");

struct Loader {
    QString path;
    std::unique_ptr<QLibrary> lib;

    QString resolvedPath() const
    {
        if (!path.isEmpty())
            return path;
        return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("KXP4Res"));
    }

    QLibrary &library()
    {
        if (!lib) {
            auto l = std::make_unique<QLibrary>(resolvedPath());
            if (!l->load())
                vb::raise(vb::ErrFileNotFound,
                          QStringLiteral("ファイルが見つかりません: %1").arg(kLibName));
            lib = std::move(l);
        }
        return *lib;
    }

    template<typename Fn>
    Fn resolve(const char *name)
    {
        auto fn = reinterpret_cast<Fn>(library().resolve(name));
        if (!fn)
            vb::raise(vb::ErrEntryPoint,
                      QStringLiteral("DLL エントリ ポイント %1 が %2 内に見つかりません。")
                          .arg(QLatin1String(name), kLibName));
        return fn;
    }
};

Loader &loader()
{
    static Loader l;
    return l;
}

Substitutes &subs()
{
    static Substitutes s;
    return s;
}

// Calls the substitute when one is set, otherwise the library's export.
#define KXP4_CALL_EXPORT(name, ...)                                                              \
    (subs().name ? subs().name(__VA_ARGS__)                                                      \
                 : loader().resolve<decltype(&::name)>(#name)(__VA_ARGS__))

} // namespace

Substitutes &substitutes() { return subs(); }
void resetSubstitutes() { subs() = Substitutes{}; }

void setLibraryPath(const QString &path)
{
    loader().lib.reset();
    loader().path = path;
}

int32_t Call_dlg100(Owner owner, int16_t keta, int16_t &zeroMode, int16_t &shift, int16_t &fillZero)
{
    return KXP4_CALL_EXPORT(Call_dlg100, owner, keta, &zeroMode, &shift, &fillZero);
}

int32_t Call_dlg110(Owner owner, int32_t kind, const QString &text)
{
    const QByteArray t = cp932::encode(text);
    return KXP4_CALL_EXPORT(Call_dlg110, owner, kind, t.constData());
}

int32_t Call_dlg111(Owner owner, SystemTime &date)
{
    date = SystemTime{}; // zeroed on entry
    return KXP4_CALL_EXPORT(Call_dlg111, owner, static_cast<void *>(&date));
}

QString Kx3FileDlg(Owner owner, int32_t flags, const QString &filter, const QString &initialFile,
                   const QString &title)
{
    // The filter carries NUL separators; make sure it ends with the extra NUL
    // even when the caller left it off, so the library never reads past it.
    QByteArray f = cp932::encode(filter);
    f.append('\0');
    f.append('\0');
    const QByteArray i = cp932::encode(initialFile);
    const QByteArray t = cp932::encode(title);
    return cp932::decodeC(KXP4_CALL_EXPORT(Kx3FileDlg, owner, flags, f.constData(), i.constData(), t.constData()));
}

QString Kx3FolderDlg(Owner owner, const QString &title)
{
    const QByteArray t = cp932::encode(title);
    return cp932::decodeC(KXP4_CALL_EXPORT(Kx3FolderDlg, owner, t.constData()));
}

int32_t Kx3ChooseColor(Owner owner, int32_t &colour, std::array<int32_t, 17> &custom)
{
    return KXP4_CALL_EXPORT(Kx3ChooseColor, owner, &colour, custom.data());
}

QString GetOsInfo()
{
    return cp932::decodeC(KXP4_CALL_EXPORT(GetOsInfo));
}

int32_t LenB_ASCII(const QString &text)
{
    const QByteArray t = cp932::encode(text);
    return KXP4_CALL_EXPORT(LenB_ASCII, t.constData());
}

QByteArray MidB_Bytes(const QByteArray &text, int32_t start, int32_t count)
{
    const char *r = KXP4_CALL_EXPORT(MidB_ASCII, text.constData(), start, count);
    return r ? QByteArray(r) : QByteArray();
}

QString MidB_ASCII(const QString &text, int32_t start, int32_t count)
{
    return cp932::decode(MidB_Bytes(cp932::encode(text), start, count));
}

int32_t KX4_GetPlgInfo(const QString &path, PlgInfo &info)
{
    info = PlgInfo{};
    const QByteArray p = cp932::encode(path);
    return KXP4_CALL_EXPORT(KX4_GetPlgInfo, p.constData(), static_cast<void *>(&info));
}

int32_t KX4_SetPlgComment(const QString &path, Handle textBox)
{
    const QByteArray p = cp932::encode(path);
    return KXP4_CALL_EXPORT(KX4_SetPlgComment, p.constData(), textBox);
}

int32_t KX4_SetCorpAddList(const QString &path, Handle comboBox)
{
    const QByteArray p = cp932::encode(path);
    return KXP4_CALL_EXPORT(KX4_SetCorpAddList, p.constData(), comboBox);
}

int32_t KX4_DrawSeiriken(const QString &path, Hdc hdc, const QString &stopName, const QString &date,
                         const QString &time, int32_t routeNo, int16_t seiriNo, int16_t row,
                         int16_t corpIndex)
{
    const QByteArray p = cp932::encode(path);
    const QByteArray s = cp932::encode(stopName);
    const QByteArray d = cp932::encode(date);
    const QByteArray t = cp932::encode(time);
    return KXP4_CALL_EXPORT(KX4_DrawSeiriken, p.constData(), hdc, s.constData(), d.constData(), t.constData(),
                            routeNo, seiriNo, row, corpIndex);
}

} // namespace kxp4
