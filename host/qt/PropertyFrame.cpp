#include "host/qt/PropertyFrame.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "framework/ComClient.h"
#include "framework/Registry.h"
#include "host/qt/ColorPage.h"
#include "host/qt/TemplatePage.h"

std::shared_ptr<COlePropertyPage> CreatePageFromRegistry(const CLSID& clsid) {
    auto instance = std::make_shared<CComInstance>();
    if (FAILED(CreateObjectFromRegistry(GetRegistryFile(), StringFromGUID(clsid), instance.get())))
        return nullptr;
    COlePropertyPage* page = instance->PropertyPage();
    if (!page) return nullptr;
    return std::shared_ptr<COlePropertyPage>(instance, page);
}

PropertyFrame::PropertyFrame(COleControl& control, const std::vector<CLSID>& pages,
                             const PageFactory& factory, const QString& caption, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(caption);
    m_tabs = new QTabWidget(this);
    for (const CLSID& clsid : pages) {
        FramePage* page = nullptr;
        if (clsid == CLSID_StockColorPage) {
            auto* colors = new ColorPage(control);
            if (colors->HasProperties())
                page = colors;
            else
                delete colors;
        } else if (std::shared_ptr<COlePropertyPage> made = factory ? factory(clsid) : nullptr) {
            page = new TemplatePage(std::move(made), control);
        }
        if (!page) continue;
        m_tabs->addTab(page, page->Caption());
        connect(page, &FramePage::edited, this, [this] { UpdateApplyButton(); });
    }
    m_buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &PropertyFrame::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &PropertyFrame::reject);
    connect(Button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            [this] { ApplyChanges(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    UpdateApplyButton();
}

int PropertyFrame::PageCount() const {
    return m_tabs->count();
}

FramePage* PropertyFrame::Page(int index) const {
    return qobject_cast<FramePage*>(m_tabs->widget(index));
}

QPushButton* PropertyFrame::Button(QDialogButtonBox::StandardButton which) const {
    return m_buttons->button(which);
}

bool PropertyFrame::ApplyChanges() {
    for (int i = 0; i < PageCount(); ++i) {
        FramePage* page = Page(i);
        if (!page->IsDirty()) continue;
        QString prompt;
        QWidget* field = nullptr;
        if (!page->Apply(&prompt, &field)) {
            ShowRefusal(i, prompt, field);
            UpdateApplyButton();
            return false;
        }
    }
    UpdateApplyButton();
    return true;
}

void PropertyFrame::accept() {
    if (ApplyChanges()) QDialog::accept();
}

void PropertyFrame::UpdateApplyButton() {
    bool dirty = false;
    for (int i = 0; i < PageCount() && !dirty; ++i) dirty = Page(i)->IsDirty();
    Button(QDialogButtonBox::Apply)->setEnabled(dirty);
}

void PropertyFrame::ShowRefusal(int pageIndex, const QString& prompt, QWidget* field) {
    m_tabs->setCurrentIndex(pageIndex);
    auto focusField = [field = QPointer<QWidget>(field)] {
        if (!field) return;
        field->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(field.data())) edit->selectAll();
    };
    focusField();
    if (m_prompt) m_prompt->close();
    m_prompt = new QMessageBox(QMessageBox::Warning, windowTitle(), prompt, QMessageBox::Ok, this);
    m_prompt->setAttribute(Qt::WA_DeleteOnClose);
    // Back to the field once the prompt is acknowledged, as the user will correct it next.
    connect(m_prompt, &QMessageBox::finished, this, focusField);
    m_prompt->open();
}
