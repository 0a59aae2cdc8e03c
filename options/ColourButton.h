#pragma once
// A colour button: its face is the colour it holds, exactly and edge to edge
// inside a thin frame, never the style's shaded version of it. The colour is
// the forms kit's face colour (forms::faceColor / setFaceColor).
#include <QPushButton>

class ColourButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColourButton(QWidget *parent = nullptr);

    // The frame's width: one pixel, two while the button has the focus or is held down.
    int frameWidth() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
