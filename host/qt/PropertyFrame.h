// The property frame: the control's property pages as tabs, with OK, Cancel and Apply.
//
// Each page the control names is made by the page factory and shown from its dialog
// template; the stock colour page is the frame's own. Apply (and OK) applies the changed
// pages in tab order through their own exchange. A page that refuses a value stops it:
// the frame stays open on that page with the field focused and the page's prompt shown.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Com.h"
#include "framework/PropertyPage.h"

class COleControl;
class FramePage;
class QTabWidget;

// Makes the page of a class, or null when there is no such page.
using PageFactory = std::function<std::shared_ptr<COlePropertyPage>(const CLSID& clsid)>;

// Makes a page as a container does: the module the process's registry file names for the
// class is loaded and its factory asked; the page keeps the module's object alive.
std::shared_ptr<COlePropertyPage> CreatePageFromRegistry(const CLSID& clsid);

class PropertyFrame : public QDialog {
    Q_OBJECT
public:
    // A class the factory cannot make gets no tab.
    PropertyFrame(COleControl& control, const std::vector<CLSID>& pages, const PageFactory& factory,
                  const QString& caption, QWidget* parent = nullptr);

    int PageCount() const;
    FramePage* Page(int index) const;
    QTabWidget* Tabs() const { return m_tabs; }
    QPushButton* Button(QDialogButtonBox::StandardButton which) const;
    // The prompt of the last refused value while it is shown, else null.
    QMessageBox* Prompt() const { return m_prompt; }

    // Applies every changed page in tab order; false when a page refused a value.
    bool ApplyChanges();

public Q_SLOTS:
    // OK: closes only when everything applied.
    void accept() override;

private:
    void UpdateApplyButton();
    void ShowRefusal(int pageIndex, const QString& prompt, QWidget* field);

    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    QPointer<QMessageBox> m_prompt;
};
