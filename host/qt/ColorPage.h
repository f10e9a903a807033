// The stock colour page, which this container provides itself: it edits every colour
// property of the control (BackColor, PictureBackColor, ...), one chosen at a time, and keeps
// the edits of each until they are applied through the control's setters.
#pragma once

#include <QColor>
#include <vector>

#include "framework/Variant.h"
#include "host/qt/FramePage.h"

class COleControl;
class QComboBox;
class QFrame;
class QSpinBox;

class ColorPage : public FramePage {
    Q_OBJECT
public:
    explicit ColorPage(COleControl& control, QWidget* parent = nullptr);

    // Whether the control has any colour property to edit.
    bool HasProperties() const { return !m_entries.empty(); }

    QString Caption() const override { return QStringLiteral("Colors"); }
    bool IsDirty() const override;
    bool Apply(QString* prompt, QWidget** field) override;

    // Chooses the property to edit, by name; false for a name the page does not list.
    bool SelectProperty(const QString& name);
    // The colour shown for the chosen property.
    QColor ShownColor() const;
    // Gives the chosen property this colour, as picking it does.
    void SetColor(const QColor& color);

private:
    struct Entry {
        QString name;
        DISPID dispid;
        OLE_COLOR value;
        bool changed;
    };

    void ShowEntry();
    void OnFieldsEdited();
    void UpdateSwatch();
    void ChooseColor();

    COleControl& m_control;
    std::vector<Entry> m_entries;  // by name
    QComboBox* m_property = nullptr;
    QSpinBox* m_red = nullptr;
    QSpinBox* m_green = nullptr;
    QSpinBox* m_blue = nullptr;
    QFrame* m_swatch = nullptr;
    bool m_showing = false;
};
