// One tab of the property frame: a page that edits some of the control's properties and
// sets them through the control's setters when applied.
#pragma once

#include <QString>
#include <QWidget>

class FramePage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual QString Caption() const = 0;
    // Whether the user changed anything since the page was filled or last applied.
    virtual bool IsDirty() const = 0;
    // Sets what the user changed. False when a value is refused: then nothing is set, *prompt
    // says what is wrong and *field is the widget to correct (null when there is none).
    virtual bool Apply(QString* prompt, QWidget** field) = 0;

Q_SIGNALS:
    // The user changed a value on the page.
    void edited();
};
