#pragma once
// The panel: the borderless, round-cornered board window with 60 fare cells,
// their ticket-number labels and the stop-name strip. After start-up it is
// passive: the console and the options write into its controls.
#include "forms/ControlArray.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/M_Degit/M_Degit.h"
#include "ride/Ride.h"

#include <QLabel>
#include <QPixmap>
#include <QTime>
#include <QWidget>
#include <array>

class QTimer;
class PropertyBag;
struct IniData;

class Form1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCells = 60;

    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up sequence; errors pass to the caller, which ends the program.
    // It loads every other window, so it is built with them (windows/
    // Form1_Load.cpp), above the panel: the panel itself knows no window.
    void Form_Load();

    // Elements 1..60 are the fare cells and their labels; element 0 exists,
    // stays hidden and is never addressed by the loops.
    forms::ControlArray<M_Degit> Degit{QStringLiteral("Degit")};
    forms::ControlArray<QLabel> lblSeiriNum{QStringLiteral("lblSeiriNum")};
    forms::ControlArray<M_Degit> TimeDegit{QStringLiteral("TimeDegit")};
    QTimer *Timer1() const { return m_timer1; }
    ChimeiCtl_A *ChimeiCtl() const { return m_chimei; }
    QPixmap &imgRes(int index); // 0..2, else error 9

    // The ride's cells as it wrote them, in the order it wrote them.
    void showCells(const QList<ride::CellWrite> &cells);

    // The text colour of the 60 ticket-number labels (0x00BBGGRR).
    void setSeiriNumColor(uint32_t colour);

    // The board's background picture.
    const QPixmap &Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

    // The panel's position in whole twips, to and from the settings record.
    void GetFormInfo(IniData &d) const;
    void SetFormInfo(const IniData &d);
    // The window region belongs to the window and goes with it.
    void DeleteRgn() {}

    // Event handlers.
    void Degit_DblClick(int Index);
    void Timer1_Timer();
    void Timer1_Tick(const QTime &now); // the tick for a given time

    // The controls' stored properties, as the form keeps them.
    static PropertyBag storedDegitProperties(int index);
    static PropertyBag storedTimeDegitProperties(int index);

    // The form's layout in pixels.
    static QRect degitRect(int index);
    static QRect labelRect(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setRoundRegion();

    std::array<QPixmap, 3> m_imgRes;
    QTimer *m_timer1 = nullptr;
    ChimeiCtl_A *m_chimei = nullptr;
    QPixmap m_picture;
    QPixmap m_face2x; // the built-in face at twice the pixels

    bool m_dragging = false; // moving the window ourselves (no window manager)
    QPoint m_dragOffset;
};

namespace windows {
// The panel, created and loaded on first use.
::Form1 &Form1();
} // namespace windows
