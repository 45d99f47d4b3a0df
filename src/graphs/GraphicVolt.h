// The graph of the volt-phase form: the element codes of a volt-phase document drawn as a step
// curve (the square pattern of level 1 and level 0 sections) over three vertical grid lines.
//
// The graph owns no data. It keeps a pointer to the document it shows and reads the document's
// digits and element codes at every paint, so the hosting view only has to call update() when
// the document changes. Like a form control with a border, the widget draws a one-pixel black
// border and plots inside it, on a white background.
#pragma once

#include "graphs/DocumentGraph.h"

class CLC_VoltDoc;
class QPainter;
class QPaintEvent;
class QRect;

class CGraphicVolt : public DocumentGraph<CLC_VoltDoc> {
    Q_OBJECT

public:
    explicit CGraphicVolt(QWidget* parent = nullptr);
    ~CGraphicVolt() override;

    // Without a document (SetDocument) only the background is drawn.

    // Draws the graph into `client` (the plot area inside the border): white background, the
    // grid and the step curve of the document's codes. Serves paintEvent and drawing on any
    // other paint device, such as an image. Leaves the painter's state as it found it and
    // paints nothing outside `client`.
    void Draw(QPainter& painter, const QRect& client) const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
