#pragma once

#include <QProxyStyle>

// The program's style: Fusion, with push buttons and drop-down lists painted
// flat in their palette's Button colour (Fusion paints them with a gradient,
// so the colours the windows give them never appear as they are), the list of
// a drop-down opened below it as a plain list in the drop-down's own colours,
// and group boxes drawn as plain panels with their caption, without a frame
// of their own inside.
class FlatStyle : public QProxyStyle
{
    Q_OBJECT

public:
    FlatStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                            const QWidget *widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};

// Makes FlatStyle the application's style.
void installProgramStyle();
