#include "host/qt/TemplateDialog.h"

#include <QPushButton>

#include "host/qt/DialogItems.h"

TemplateDialog::TemplateDialog(const CDialogTemplate& dialog, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(dialog.caption));
    setFont(DialogFont(dialog));
    const std::vector<QWidget*> widgets = BuildDialogItems(dialog, this);
    for (size_t i = 0; i < widgets.size(); ++i) {
        auto* button = qobject_cast<QPushButton*>(widgets[i]);
        if (!button) continue;
        const int32_t id = dialog.items[i].id;
        connect(button, &QPushButton::clicked, this, [this, id] {
            m_closedBy = id;
            done(id == IDCANCEL ? QDialog::Rejected : QDialog::Accepted);
        });
    }
    setFixedSize(ToPixels(0, 0, dialog.cx, dialog.cy).size());
}

QRect TemplateDialog::ToPixels(int32_t x, int32_t y, int32_t cx, int32_t cy) const {
    return DialogUnits(font()).ToPixels(x, y, cx, cy);
}

int32_t TemplateDialog::Run() {
    m_closedBy = IDCANCEL;
    exec();
    return m_closedBy;
}
