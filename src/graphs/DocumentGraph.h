// What the graph controls share: the document they draw, which they do not own and read at
// every paint, and the look of a form control with a border (a one-pixel border on every side
// with the plot inside it, painted whole, background included).
#pragma once

#include <QPen>
#include <QWidget>

// The graphs' pen: one device pixel wide whatever the painter's scale. Square caps make every
// line cover both of its end points, so the graphs give their lines as inclusive pixel spans.
inline QPen HairlinePen(const QColor& colour, Qt::PenStyle style = Qt::SolidLine) {
    QPen pen(colour);
    pen.setStyle(style);
    pen.setWidth(0);
    pen.setCapStyle(Qt::SquareCap);
    return pen;
}

template <typename Doc> class DocumentGraph : public QWidget {
public:
    // The document to draw, or nullptr for none. The graph does not own it: the caller keeps it
    // alive while it is set, or sets another first.
    void SetDocument(const Doc* document) {
        m_document = document;
        update();
    }
    const Doc* GetDocument() const { return m_document; }

protected:
    explicit DocumentGraph(QWidget* parent) : QWidget(parent) {
        setContentsMargins(1, 1, 1, 1);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    const Doc* m_document = nullptr;
};
