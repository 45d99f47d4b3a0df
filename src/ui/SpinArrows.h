// A small pair of stacked arrow buttons that steps the value of a buddy text field.
//
// The arrows never write into the buddy: a click on an arrow, or the Up and Down keys pressed
// in the buddy, only emit deltaPos (+1 for up, -1 for down) and the owner decides what a step
// means. While an arrow is held down it repeats. The arrows take no keyboard focus themselves;
// the buddy keeps it. Every other key of the buddy (function keys, accelerators, editing keys)
// passes on untouched, so the window's shortcuts keep working while the buddy has the focus.
#pragma once

#include <QPointer>
#include <QWidget>

class QLineEdit;
class QToolButton;

class SpinArrows : public QWidget {
    Q_OBJECT

public:
    explicit SpinArrows(QWidget* parent = nullptr);
    ~SpinArrows() override;

    // The field whose Up and Down keys step it; nullptr detaches the present one.
    void SetBuddy(QLineEdit* buddy);
    QLineEdit* Buddy() const;

    // Places the arrows at the right edge of the buddy, inside the buddy's present rectangle,
    // keeping their own width, and narrows the buddy by that width so that the two look like
    // one control. Both must have the same parent.
    void AlignToBuddy();

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    // +1 for a step up, -1 for a step down.
    void deltaPos(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Step(int delta);

    QToolButton* m_up = nullptr;
    QToolButton* m_down = nullptr;
    // Held as a plain widget: the buddy's events reach the filter also while it is being
    // destroyed, when it is no longer a line edit.
    QPointer<QWidget> m_buddy;
};
