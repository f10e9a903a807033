// A modal Qt dialog built from a dialog template, laid out in dialog units as the template
// gives them.
#pragma once

#include <QDialog>

#include "framework/DialogTemplate.h"

class TemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit TemplateDialog(const CDialogTemplate& dialog, QWidget* parent = nullptr);

    // Shows the dialog modally; the id of the button that closed it, IDCANCEL for Escape or
    // the window's close button.
    int32_t Run();

    // Pixels of a dialog-unit rectangle for this dialog's font.
    QRect ToPixels(int32_t x, int32_t y, int32_t cx, int32_t cy) const;

private:
    int32_t m_closedBy = IDCANCEL;
};
