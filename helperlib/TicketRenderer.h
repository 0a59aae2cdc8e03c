#pragma once
// Draws a plug-in's ticket with the values of one print: the nine values
// the console hands to KX4_DrawSeiriken, the path and device aside.
#include "helperlib/Plugin4sp.h"

#include <QImage>
#include <QString>
#include <cstdint>

class QPainter;

namespace plugin {

struct TicketArgs {
    QString stopName;
    QString date; // as the console passes it: mm-dd-yyyy, or the fixed date's caption
    QString time; // hh:mm:ss
    int32_t route = 0;
    int16_t seiriNo = 0;
    int16_t row = 0;
    int16_t corpIndex = -1; // the console's company choice, -1 = none
};

// The text a template prints for these values.
QString expand(const QList<Segment> &segments, const Plugin &p, const TicketArgs &a);

// The barcode's characters, start and stop included.
QByteArray barcodeSymbol(const Item &barcode, const Plugin &p, const TicketArgs &a);

// Draws onto the painter's current device from its origin, 15 twips to the
// pixel, paper first. Needs a GUI application for the fonts. The texts are
// cut to the drawing bounds of Plugin4sp.h.
void drawTicket(QPainter &painter, const Plugin &p, const TicketArgs &a);

// The ticket alone, PrevWidth x PrevHeight in pixels.
QImage renderTicket(const Plugin &p, const TicketArgs &a);

} // namespace plugin
