#pragma once
// The board on the session bus. Every method does what a console control
// does, through the console's own handler and inside the event guard, so the
// sounds, the speech, the lamp test and the messages are those of a click
// (a load is the console's load of the route given, shown on its input).
// What the board shows is learnt from the console's ride as it changes.
// A method the console would not take at that moment (a box open, the lamp
// test running, the control disabled) is refused with an error naming why,
// and changes nothing. No method takes a path: only the files the options
// already name are read.
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace remote {

struct Command;

struct Refusal {
    QString name; // empty: no refusal
    QString message;
    explicit operator bool() const { return !name.isEmpty(); }
};

class Board : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "jp.soratobi.Board4")
    Q_PROPERTY(QString route READ route)
    Q_PROPERTY(int row READ row)
    Q_PROPERTY(QString stopName READ stopName)
    Q_PROPERTY(QStringList cells READ cells)
public:
    explicit Board(QObject *parent = nullptr);
    ~Board() override;

    // The route number as entered, the row the panel shows (0 before a
    // route), the stop-name strip's name and each cell's lit text.
    QString route() const;
    int row() const;
    QString stopName() const;
    QStringList cells() const;

    // The same methods for callers in the program (a command given at the
    // first start); the refusal of the last call made either way.
    Refusal run(const Command &c);
    const Refusal &lastRefusal() const { return m_last; }

    // On the bus from before the start-up, the board refuses every call as
    // still starting until the windows are up.
    void started();

public slots:
    void load(const QString &route, int section);
    void step();
    void back();
    void say();
    void sayBack();
    void stopSpeech();
    void clearDisplay(bool on);
    void lateNight(bool on);
    void backlight(int state);
    void fullScreen(int screen);
    void restore();
    void raise();
    // The panel's window size, 1 to 3 times the design's window.
    void size(int factor);

signals:
    void rowChanged(const QString &route, int row);
    void announcementStarted(int line);
    void announcementEnded(int line);

private:
    void answer(const std::function<Refusal()> &body);
    Refusal doLoad(const QString &route, int section);
    Refusal doClick(QWidget *control, const std::function<void()> &handler);
    Refusal doFullScreen(int screen);
    Refusal doRaise();
    void finish(Refusal r);
    void watchSpeech();

    bool m_started = false;
    bool m_speaking = false;
    int m_spokenLine = 0;
    Refusal m_last;
};

// Why the console would not take a press of control now (a box is open,
// input is held, the control is disabled and why), or no refusal.
Refusal refusalFor(QWidget *control);

} // namespace remote
