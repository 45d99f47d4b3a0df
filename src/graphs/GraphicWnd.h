// The graph of the profile form: the phase of every element as a red step curve in parts of
// pi over a labelled green grid, the low and high phase limits as dashed lines and, while the
// document uses its correction table, the corrected profile as a blue step curve with its
// limits in light blue. A left click picks the element under the mouse.
//
// The graph owns no data. It keeps a pointer to the document it shows and asks the hosting
// view for the selected element, and reads both at every drawing, so the view only has to call
// update() when either changes. Like a form control with a border, the widget fills itself
// white, draws a one-pixel black border and plots inside it. The same drawing serves the
// printed report, on the printer's painter.
#pragma once

#include "graphs/DocumentGraph.h"

#include <QPen>
#include <QRect>
#include <functional>

class CTessaronDoc;
class QMouseEvent;
class QPainter;
class QPaintEvent;

class CGraphicWnd : public DocumentGraph<CTessaronDoc> {
    Q_OBJECT

public:
    explicit CGraphicWnd(QWidget* parent = nullptr);
    ~CGraphicWnd() override;

    // Without a document (SetDocument) only the background and the border are painted and
    // clicks are ignored.

    // Where the index of the selected element comes from (-1: none); asked at every paint.
    void SetCurrentElementSource(std::function<int()> source);

    // Draws the whole graph in device units, whatever transform the painter has, into
    // graphRect (the label column included). On screen the labels use the widget's font, are
    // placed 4 units from the left and the plot starts 8 units after the widest label; the
    // selected element is marked. When printing the labels use a font about 50 by 23 device
    // units, are placed 15 units in, the gap is 30 units, a black frame surrounds graphRect and
    // no marker is drawn. Paints no background. Sets Margin() and GraphRect(); leaves the
    // painter as it found it.
    void Draw(QPainter& painter, const QRect& graphRect, bool printing);

    // The width of the label column and the graph rectangle of the most recent drawing, on
    // screen or on paper.
    int Margin() const { return m_nMargin; }
    QRect GraphRect() const { return m_rcGraph; }

signals:
    // A left click in the graph: the index of the element whose column lies under the mouse,
    // from 0 (also for the label column) to the number of elements - 1.
    void elementClicked(int element);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Frame;

    int DrawAxes(QPainter& painter, const Frame& frame, bool printing) const;
    void DrawLimits(QPainter& painter, const Frame& frame) const;
    QFont LabelFont(const QPainter& painter, bool printing) const;

    std::function<int()> m_currentElement;

    int m_nMargin = 0;
    QRect m_rcGraph;
    // The label column of the last drawing on screen: clicks are mapped with it, so that a
    // printed report in between does not shift the columns.
    int m_nScreenMargin = 0;

    QPen m_penPhase;
    QPen m_penFrame;
    QPen m_penGrid;
    QPen m_penCode;
    QPen m_penLimit;
    QPen m_penCodeLimit;
};
