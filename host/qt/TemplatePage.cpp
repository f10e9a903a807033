#include "host/qt/TemplatePage.h"

#include <QAbstractButton>
#include <QLineEdit>

#include "host/qt/DialogItems.h"

TemplatePage::TemplatePage(std::shared_ptr<COlePropertyPage> page, COleControl& control,
                           QWidget* parent)
    : FramePage(parent), m_page(std::move(page)) {
    const CDialogTemplate& dialog = m_page->GetDialogTemplate();
    setFont(DialogFont(dialog));
    const std::vector<QWidget*> widgets = BuildDialogItems(dialog, this);
    for (size_t i = 0; i < widgets.size(); ++i) Bind(dialog.items[i].id, widgets[i]);
    setMinimumSize(DialogUnits(font()).ToPixels(0, 0, dialog.cx, dialog.cy).size());
    m_page->SetObjects({&control});
    m_page->Activate();
    ShowItems();
    if (QWidget* first = ItemWidget(m_page->GetFocusItem())) setFocusProxy(first);
}

TemplatePage::~TemplatePage() {
    m_page->SetObjects({});
}

QWidget* TemplatePage::ItemWidget(int32_t itemId) const {
    auto it = m_items.find(itemId);
    return it == m_items.end() ? nullptr : it->second;
}

QString TemplatePage::Caption() const {
    return QString::fromStdString(m_page->GetCaption());
}

bool TemplatePage::IsDirty() const {
    return m_page->IsPageDirty() != FALSE;
}

bool TemplatePage::Apply(QString* prompt, QWidget** field) {
    if (m_page->Apply() == S_OK) return true;
    const std::optional<CValidationFailure> failure = m_page->GetValidationFailure();
    *prompt = failure ? QString::fromStdString(failure->prompt)
                      : QString("The page could not apply its values.");
    *field = ItemWidget(m_page->GetFocusItem());
    return false;
}

void TemplatePage::Bind(int32_t itemId, QWidget* widget) {
    if (itemId == IDC_STATIC) return;
    m_items[itemId] = widget;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textChanged, this, [this, itemId](const QString& text) {
            if (m_showing) return;
            m_page->SetItemText(itemId, text.toStdString());
            Q_EMIT edited();
        });
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
               button && button->isCheckable()) {
        // A radio button's group clears the others itself; the page does the same for its
        // own values, so each button only reports its own state.
        connect(button, &QAbstractButton::toggled, this, [this, itemId](bool checked) {
            if (m_showing) return;
            m_page->SetCheck(itemId, checked ? 1 : 0);
            Q_EMIT edited();
        });
    }
}

void TemplatePage::ShowItems() {
    m_showing = true;
    for (const auto& [id, widget] : m_items) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            edit->setText(QString::fromStdString(m_page->GetItemText(id)));
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget);
                   button && button->isCheckable()) {
            button->setChecked(m_page->GetCheck(id) != 0);
        }
    }
    m_showing = false;
}
