#pragma once
// The speech component the announcement tape talks to: speak a text, stop,
// a status value, and the voice dialog. Everything runs on the GUI thread;
// an engine does its synthesis elsewhere and never blocks the caller.
#include <QObject>
#include <QString>
#include <memory>

class QWidget;

namespace speech {

class Engine : public QObject {
    Q_OBJECT
public:
    // Status values.
    static constexpr int kIdle = 0, kSpeaking = 1, kFailed = -1;

    // Speaks the text, after whatever it says now (the caller stops first).
    virtual void Speak(const QString &text) = 0;
    // Silence at once; what was queued is dropped.
    virtual void Stop() = 0;
    // kSpeaking while a text is being synthesised or heard, kFailed when the
    // engine cannot synthesise, else kIdle.
    virtual int Status() = 0;
    // The modal voice dialog: voice, rate, pitch, volume and a sample.
    virtual void ShowVoiceDialog(QWidget *owner, const QString &title) = 0;

signals:
    // The engine found, after its creation, that it cannot speak.
    void unavailable();
    // Status() may have changed (a line begun, said to its end, stopped).
    void statusChanged();
};

// The engine of this platform, or nullptr when there is none. Cheap: what
// takes time (the voice data, the dictionary) loads in the background.
std::unique_ptr<Engine> createEngine();

} // namespace speech

#include <vector>

namespace speech {

// A line said into samples on the calling thread, with the voice the dialog
// stored, for a recording rendered offline: mono 16-bit at `rate` (set on
// return). False when the voice cannot be loaded. Not while an Engine of
// this process speaks: the synthesiser is one per process.
bool synthesise(const QString &text, std::vector<qint16> &mono, int &rate);

} // namespace speech
