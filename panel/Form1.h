#pragma once
// The panel: the borderless, round-cornered board window with 60 fare cells,
// their ticket-number labels and the stop-name strip. After start-up it is
// passive: the console and the options write into its controls.
#include <QPixmap>
#include <QPointer>
#include <QTime>
#include <QWidget>
#include <array>

class ChimeiCtl_A;
class M_Degit;
class QLabel;
class QTimer;
class PropertyBag;

class Form1 : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCells = 60;

    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The start-up sequence; errors pass to the caller, which ends the program.
    void Form_Load();

    // Elements 1..60 are the fare cells and their labels; element 0 exists,
    // stays hidden and is never addressed by the loops.
    M_Degit *Degit(int index) const { return m_degit.at(size_t(index)); }
    QLabel *lblSeiriNum(int index) const { return m_label.at(size_t(index)); }
    M_Degit *TimeDegit(int index) const { return m_timeDegit.at(size_t(index)); }
    QTimer *Timer1() const { return m_timer1; }
    ChimeiCtl_A *ChimeiCtl() const { return m_chimei; }
    QPixmap &imgRes(int index) { return m_imgRes.at(size_t(index)); }

    // The board's background picture.
    const QPixmap &Picture() const { return m_picture; }
    void setPicture(const QPixmap &picture);

    // The console window the panel disables while a digit dialog is open.
    void setConsole(QWidget *console) { m_console = console; }

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
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setRoundRegion();

    std::array<M_Degit *, kCells + 1> m_degit{};
    std::array<QLabel *, kCells + 1> m_label{};
    std::array<M_Degit *, 2> m_timeDegit{};
    std::array<QPixmap, 3> m_imgRes;
    QTimer *m_timer1 = nullptr;
    ChimeiCtl_A *m_chimei = nullptr;
    QPixmap m_picture;
    QPointer<QWidget> m_console;

    bool m_dragging = false; // moving the window ourselves (no window manager)
    QPoint m_dragOffset;
};
