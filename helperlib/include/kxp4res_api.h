#pragma once
/* KXP4Res: the helper library beside the executable. A plain C interface:
   every text in or out is zero-terminated code page 932. A text result points
   into a buffer the library owns, valid until the next call of the same
   export on the same thread; the caller copies it at once. Window handles are
   the owner widget, passed as an opaque pointer. */
#include <stdint.h>

#if defined(_WIN32)
#  define KXP4_CALL __stdcall
#  if defined(KXP4RES_BUILD)
#    define KXP4_API __declspec(dllexport)
#  else
#    define KXP4_API __declspec(dllimport)
#  endif
#else
#  define KXP4_CALL
#  define KXP4_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void *KXP4_HWND;
/* The drawing target of a ticket: a QPainter already begun on the picture. */
typedef void *KXP4_HDC;

/* Digit settings. In: current values; out: the chosen ones. 1 = confirmed. */
KXP4_API int32_t KXP4_CALL Call_dlg100(KXP4_HWND owner, int16_t keta, int16_t *zeroMode,
                                       int16_t *shift, int16_t *fillZero);
/* About box showing the text. */
KXP4_API int32_t KXP4_CALL Call_dlg110(KXP4_HWND owner, int32_t kind, const char *text);
/* Date chooser; rec is 16 bytes laid out like SYSTEMTIME. Non-zero = confirmed. */
KXP4_API int32_t KXP4_CALL Call_dlg111(KXP4_HWND owner, void *rec);
/* Open-file chooser; filter is NUL-separated label/pattern pairs ended by an
   extra NUL. Empty text when cancelled. */
KXP4_API const char *KXP4_CALL Kx3FileDlg(KXP4_HWND owner, int32_t flags, const char *filter,
                                          const char *initialFile, const char *title);
/* Folder chooser. Empty text when cancelled. */
KXP4_API const char *KXP4_CALL Kx3FolderDlg(KXP4_HWND owner, const char *title);
/* Colour chooser: colour 0x00BBGGRR in/out, custom is a table of 17 colours
   read and updated in place. Non-zero = confirmed. */
KXP4_API int32_t KXP4_CALL Kx3ChooseColor(KXP4_HWND owner, int32_t *colour, int32_t *custom);
/* Name of the operating system. */
KXP4_API const char *KXP4_CALL GetOsInfo(void);
/* Length of the text in bytes. */
KXP4_API int32_t KXP4_CALL LenB_ASCII(const char *text);
/* Bytes start (1-based) .. start + count - 1 of the text, as they are. */
KXP4_API const char *KXP4_CALL MidB_ASCII(const char *text, int32_t start, int32_t count);

/* Ticket plug-ins (*.4SP), named by path on every call. */
/* Fills info, 56 bytes of fourteen int32 (the PlgInfo record); 0 = not a valid
   plug-in, and the record is left as it was. */
KXP4_API int32_t KXP4_CALL KX4_GetPlgInfo(const char *path, void *info);
/* Puts the plug-in's notes into the text box (a QPlainTextEdit, QTextEdit or
   QLineEdit). 1 = done. */
KXP4_API int32_t KXP4_CALL KX4_SetPlgComment(const char *path, KXP4_HWND textBox);
/* Adds the plug-in's company names to the combo box (a QComboBox), after what
   it holds; the box's selection (none included) stays as it was. 1 = done. */
KXP4_API int32_t KXP4_CALL KX4_SetCorpAddList(const char *path, KXP4_HWND comboBox);
/* Draws the ticket from the painter's origin. 1 = drawn; 0 = nothing drawn. */
KXP4_API int32_t KXP4_CALL KX4_DrawSeiriken(const char *path, KXP4_HDC hdc, const char *stopName,
                                            const char *date, const char *time, int32_t routeNo,
                                            int16_t seiriNo, int16_t row, int16_t corpIndex);

#ifdef __cplusplus
}
#endif
