#pragma once
// Panel setup: blanking the fare cells, the start-up defaults and the
// ticket-number row above the cells.
#include <QString>
#include <cstdint>
#include <functional>

class QLabel;

class Form1;

namespace mdl427_000 {

void ClearAllDegit(Form1 &panel);
void InitPanelDefault(Form1 &panel);
void SeirikenNumSet(Form1 &panel, int16_t scheme, int16_t zeroPad);

// Test seam: every caption the row writes goes through this when set.
using CaptionWriter = std::function<void(QLabel &, const QString &)>;
void setCaptionWriter(CaptionWriter writer);

// The caption of a ticket number: full-width digits, two wide when padded.
QString seiriNumText(int n, bool zeroPad);

} // namespace mdl427_000
