#pragma once
// Control values in the conventions the whole program speaks: check box
// 0/1/2 (2 = grayed), option button -1/0, list index 0.. with -1 for none,
// colour button face colour 0x00BBGGRR, text box text, label caption.
// Every reader of an option and the option transfer go through these.
#include <QString>
#include <cstdint>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace forms {

int16_t checkValue(const QCheckBox &box);
void setCheckValue(QCheckBox &box, int value); // 0, 1 or 2, else error 380

// An option button is selected (-1) or not (0). Setting 0 clears it even in
// an exclusive group, which is then left with none selected.
int16_t optionValue(const QAbstractButton &button);
void setOptionValue(QAbstractButton &button, int value);

int16_t listIndex(const QComboBox &box);
void setListIndex(QComboBox &box, int index); // -1 .. count-1, else error 380
int16_t listIndex(const QListWidget &list);
void setListIndex(QListWidget &list, int index);

QString text(const QLineEdit &box);
void setText(QLineEdit &box, const QString &text);

// A push button whose face colour is the value (the stored 32 bits are kept;
// the face shows the low 24).
uint32_t faceColor(const QAbstractButton &button);
void setFaceColor(QAbstractButton &button, uint32_t color);

// A label's caption; its accessible description follows what it shows.
QString caption(const QLabel &label);
void setCaption(QLabel &label, const QString &text);

} // namespace forms
