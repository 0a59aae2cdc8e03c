#pragma once
// One fare cell in seven-segment style: a row of unlit "8"s with the value
// right-aligned on top in the lit colour. The cell draws into its own surface
// when something changes; painting only shows that surface.
#include "core/PropertyBag.h"

#include <QPixmap>
#include <QVariant>
#include <QWidget>
#include <cstdint>

class M_Degit : public QWidget {
    Q_OBJECT
public:
    explicit M_Degit(QWidget *parent = nullptr);

    // A new control takes the defaults; a control loaded with its container
    // takes the stored values as they are (no limits, no resizing, no redraw).
    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    int32_t ShowSetDlg();

    uint32_t BaseForeColor() const { return m_baseForeColor; }
    void setBaseForeColor(uint32_t c);
    uint32_t DegitForeColor() const { return m_degitForeColor; }
    void setDegitForeColor(uint32_t c);
    int16_t FillZero() const { return m_fillZero; }
    void setFillZero(int16_t v);
    int16_t ZeroMode() const { return m_zeroMode; }
    void setZeroMode(int16_t v);
    int16_t Shift() const { return m_shift; }
    void setShift(int16_t v);
    int16_t Keta() const { return m_keta; }
    void setKeta(int16_t v);
    int16_t DegitSize() const { return m_degitSize; }
    void setDegitSize(int16_t v);
    int16_t DegitStyle() const { return m_degitStyle; }
    void setDegitStyle(int16_t v);
    QVariant Value() const { return m_value; }
    void setValue(const QVariant &v);
    void ResetDegit(bool nMode);
    bool UserSet() const { return m_userSet; }
    void setUserSet(bool v);
    void *hwnd() { return this; } // the owner handle for the helper library's dialogs
    uint32_t BackColor() const { return m_backColor; }
    void setBackColor(uint32_t c);

    // The characters the last drawing lit (spaces where only "8"s show).
    const QString &shownText() const { return m_shown; }
    const QPixmap &surface() const { return m_surface; }
    // How often the surface was drawn anew. A redraw that would paint the
    // very pixels already there (the same text, colours, face and size)
    // leaves the surface as it is and is not counted.
    int drawings() const { return m_drawings; }

    // Width per digit position and height in pixels for a size class.
    static QSize positionSize(int degitSize);
    static QString fontFamily(int degitStyle);

signals:
    void DblClick();
    // Tells the container that a property changed, so it is saved.
    void PropertyChanged(const QString &name);
    // The surface was drawn anew, whether or not the cell gets to paint.
    void pictureChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void DrawDegit(const QVariant &value, uint32_t baseColor, uint32_t foreColor);
    void redraw() { DrawDegit(m_value, m_baseForeColor, m_degitForeColor); }
    void resizeFromClass();
    void recordChange(const char *name) { emit PropertyChanged(QString::fromLatin1(name)); }

    bool m_userSet = false;
    uint32_t m_baseForeColor = 0;
    uint32_t m_degitForeColor = 0;
    int16_t m_fillZero = 0;
    int16_t m_zeroMode = 0;
    int16_t m_shift = 0;
    int16_t m_keta = 0;
    int16_t m_degitSize = 0;
    int16_t m_degitStyle = 0;
    QVariant m_value;
    int m_charSpacing = 0;
    bool m_bold = false;
    uint32_t m_backColor;

    // Everything a drawing depends on; two drawings with equal looks paint
    // the same pixels.
    struct Look {
        QString shown;
        int keta = -1, style = -1, points = -1, spacing = 0;
        bool bold = false;
        uint32_t back = 0, base = 0, fore = 0;
        QSize size;
        qreal ratio = 0;
        unsigned long long fonts = 0; // the installed fonts' generation
        bool sameBackground(const Look &o) const
        {
            return keta == o.keta && style == o.style && points == o.points && spacing == o.spacing &&
                   bold == o.bold && back == o.back && base == o.base && size == o.size && ratio == o.ratio &&
                   fonts == o.fonts;
        }
        bool operator==(const Look &o) const { return sameBackground(o) && fore == o.fore && shown == o.shown; }
    };

    QPixmap m_surface;
    QPixmap m_background; // the cleared surface with its unlit row, kept for the next value
    Look m_drawn;         // what m_surface shows
    QString m_shown;
    int m_drawings = 0;
};
