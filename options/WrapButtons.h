#pragma once
// Buttons whose caption wraps inside their width, as long Japanese captions
// must: the caption stays the button's text, whole, for readers and for
// accessibility; only the drawing breaks it into lines.
#include <QPushButton>
#include <QRadioButton>

// An option button with a caption of several lines beside its indicator.
class WrapRadioButton : public QRadioButton {
    Q_OBJECT
public:
    using QRadioButton::QRadioButton;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect textRect(int width) const;
};

// A push button (also a push-button style option button) whose caption
// wraps and is centred.
class WrapPushButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
