#pragma once
// The one way into the helper library. The library is loaded at the first call
// of any export; a missing library or export fails that call with a numbered
// error (53 or 453), like any other failure of the caller. Texts cross the
// boundary as code page 932 and come back as Unicode.
#include "core/PlgInfo.h"

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace kxp4 {

using Owner = void *; // the owner widget; dialogs are modal to it

// Laid out like the Windows SYSTEMTIME record (16 bytes).
struct SystemTime {
    int16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    int16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
};
static_assert(sizeof(SystemTime) == 16);

int32_t Call_dlg100(Owner owner, int16_t keta, int16_t &zeroMode, int16_t &shift, int16_t &fillZero);
int32_t Call_dlg110(Owner owner, int32_t kind, const QString &text);
int32_t Call_dlg111(Owner owner, SystemTime &date);
QString Kx3FileDlg(Owner owner, int32_t flags, const QString &filter, const QString &initialFile,
                   const QString &title);
QString Kx3FolderDlg(Owner owner, const QString &title);
int32_t Kx3ChooseColor(Owner owner, int32_t &colour, std::array<int32_t, 17> &custom);
QString GetOsInfo();
int32_t LenB_ASCII(const QString &text);
QString MidB_ASCII(const QString &text, int32_t start, int32_t count);
// The byte-level form of MidB_ASCII, for callers that keep working in bytes.
QByteArray MidB_Bytes(const QByteArray &text, int32_t start, int32_t count);

// Ticket plug-ins, named by path on every call. A text box or combo box is
// passed as the widget; the drawing target as a QPainter begun on the
// preview's picture. PlgInfo is zeroed on entry and filled when the result
// is non-zero.
using Handle = void *;
using Hdc = void *;
int32_t KX4_GetPlgInfo(const QString &path, PlgInfo &info);
int32_t KX4_SetPlgComment(const QString &path, Handle textBox);
int32_t KX4_SetCorpAddList(const QString &path, Handle comboBox);
int32_t KX4_DrawSeiriken(const QString &path, Hdc hdc, const QString &stopName, const QString &date,
                         const QString &time, int32_t routeNo, int16_t seiriNo, int16_t row,
                         int16_t corpIndex);

// Test seams. Substituted exports take the library's own C-level arguments,
// so the conversions on this side are exercised too.
struct Substitutes {
    std::function<int32_t(void *, int16_t, int16_t *, int16_t *, int16_t *)> Call_dlg100;
    std::function<int32_t(void *, int32_t, const char *)> Call_dlg110;
    std::function<int32_t(void *, void *)> Call_dlg111;
    std::function<const char *(void *, int32_t, const char *, const char *, const char *)> Kx3FileDlg;
    std::function<const char *(void *, const char *)> Kx3FolderDlg;
    std::function<int32_t(void *, int32_t *, int32_t *)> Kx3ChooseColor;
    std::function<const char *()> GetOsInfo;
    std::function<int32_t(const char *)> LenB_ASCII;
    std::function<const char *(const char *, int32_t, int32_t)> MidB_ASCII;
    std::function<int32_t(const char *, void *)> KX4_GetPlgInfo;
    std::function<int32_t(const char *, void *)> KX4_SetPlgComment;
    std::function<int32_t(const char *, void *)> KX4_SetCorpAddList;
    std::function<int32_t(const char *, void *, const char *, const char *, const char *, int32_t, int16_t,
                          int16_t, int16_t)>
        KX4_DrawSeiriken;
};
Substitutes &substitutes();      // empty members call through to the library
void resetSubstitutes();
// Where the library is looked for; empty = "KXP4Res" beside the executable.
// Setting it unloads whatever was loaded, so the next call loads afresh.
void setLibraryPath(const QString &path);

} // namespace kxp4
