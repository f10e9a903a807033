// A property page shown from its dialog template: the template's items as widgets, the
// page's item values kept in step with them, and Apply left to the page's own exchange.
#pragma once

#include <map>
#include <memory>

#include "framework/PropertyPage.h"
#include "host/qt/FramePage.h"

class COleControl;

class TemplatePage : public FramePage {
    Q_OBJECT
public:
    // Attaches the page to the control and fills it from the control's properties.
    TemplatePage(std::shared_ptr<COlePropertyPage> page, COleControl& control,
                 QWidget* parent = nullptr);
    // Detaches the page from the control.
    ~TemplatePage() override;

    COlePropertyPage& Page() const { return *m_page; }
    // The widget of a template item, or null.
    QWidget* ItemWidget(int32_t itemId) const;

    QString Caption() const override;
    bool IsDirty() const override;
    bool Apply(QString* prompt, QWidget** field) override;

private:
    void Bind(int32_t itemId, QWidget* widget);
    // Shows the page's item values in the widgets without counting them as edits.
    void ShowItems();

    std::shared_ptr<COlePropertyPage> m_page;
    std::map<int32_t, QWidget*> m_items;
    bool m_showing = false;
};
