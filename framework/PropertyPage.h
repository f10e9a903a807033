// COlePropertyPage: a dialog page that edits a control's properties by name.
//
// A page is its dialog template plus members bound two ways in DoDataExchange: DDP_ calls
// bind a member to a property of the control, DDX_ calls bind it to a dialog item. A page
// does nothing else:
//
//   void CMyPage::DoDataExchange(CDataExchange* pDX) {
//       DDP_Text(pDX, IDC_DELAY, m_delay, "Delay");
//       DDX_Text(pDX, IDC_DELAY, m_delay);
//       DDP_PostProcessing(pDX);
//   }
//
// Opening (Activate): every DDP_ reads its property into the member, every DDX_ shows the
// member in its item. Applying (Apply): every DDX_ reads its item into the member, every DDP_
// whose item the user changed since the page was filled queues its property, and
// DDP_PostProcessing sets the queued properties through the control's setters, in the
// exchange order. When an item's text does not convert (a number field holding letters), the
// exchange stops there: nothing is set, the page keeps its values, the item gets the focus,
// and GetValidationFailure names it.
//
// A container builds the dialog from GetDialogTemplate, shows and edits item values through
// GetItemText/SetItemText and GetCheck/SetCheck, and calls Apply. Everything runs on the
// control's thread.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "framework/DialogTemplate.h"
#include "framework/Variant.h"

class COleControl;
class COlePropertyPage;

// The state of one exchange: its direction, and whether it failed.
class CDataExchange {
public:
    CDataExchange(COlePropertyPage* page, BOOL saveAndValidate)
        : m_pDlgWnd(page), m_bSaveAndValidate(saveAndValidate) {}

    // Stops the exchange at the item: later DDX_ and DDP_ calls do nothing.
    void Fail(int32_t itemId, const CString& prompt);
    bool Failed() const { return m_bFailed; }

    COlePropertyPage* const m_pDlgWnd;
    const BOOL m_bSaveAndValidate;  // TRUE: items to members to properties

private:
    bool m_bFailed = false;
};

// An edit box on a page, by item id: what DDX_Control attaches.
class CEdit {
public:
    BOOL IsAttached() const { return m_page != nullptr; }
    int32_t GetDlgCtrlID() const { return m_id; }
    CString GetWindowText() const;
    void SetWindowText(const CString& text);

private:
    friend void DDX_Control(CDataExchange*, int32_t, CEdit&);
    COlePropertyPage* m_page = nullptr;
    int32_t m_id = 0;
};

struct CValidationFailure {
    int32_t itemId = 0;
    CString prompt;  // what the container may show the user
};

class COlePropertyPage {
public:
    COlePropertyPage(CDialogTemplate dialog, CString caption);
    virtual ~COlePropertyPage();
    COlePropertyPage(const COlePropertyPage&) = delete;
    COlePropertyPage& operator=(const COlePropertyPage&) = delete;

    const CDialogTemplate& GetDialogTemplate() const { return m_dialog; }
    const CString& GetCaption() const { return m_caption; }

    // The controls the page edits: it reads from the first and writes to all. They must
    // outlive the page or be replaced first.
    void SetObjects(std::vector<COleControl*> controls);
    const std::vector<COleControl*>& GetObjects() const { return m_objects; }

    // Fills the members from the control and the items from the members; FALSE when the page
    // has no control.
    BOOL Activate();
    // S_OK when the changed properties were set; S_FALSE when an item failed to convert
    // (nothing set; see GetValidationFailure); E_FAIL when the page has no control.
    HRESULT Apply();
    // Whether the user changed any item since the page was filled or applied.
    BOOL IsPageDirty() const;
    std::optional<CValidationFailure> GetValidationFailure() const { return m_failure; }
    // The item with the focus: the first one with a tab stop when the page opens, the failed
    // one after a refused Apply. IDC_STATIC when there is none.
    int32_t GetFocusItem() const { return m_focus; }
    void SetFocusItem(int32_t itemId) { m_focus = itemId; }

    // ---- Item values, as the user edits them ----------------------------------------------
    // FALSE for an id the template does not hold. Setting a value that differs from the
    // item's marks the item changed.
    CString GetItemText(int32_t itemId) const;
    BOOL SetItemText(int32_t itemId, const CString& text);
    // Check boxes and radio buttons: 0 clear, 1 checked. Checking a radio button clears the
    // other buttons of its group, as a click does.
    int32_t GetCheck(int32_t itemId) const;
    BOOL SetCheck(int32_t itemId, int32_t state);

    // ---- For the exchange helpers ---------------------------------------------------------
    // The property's value from the first control, converted to vt; FALSE when there is none.
    BOOL GetPropValue(const CString& name, VARTYPE vt, CVariant* value) const;
    // Queues the property when its item changed; PostProcessing sets it from read().
    void QueueProperty(int32_t itemId, const CString& name, std::function<CVariant()> read);
    // Sets the queued properties in order, then forgets them.
    void CommitProperties();
    // The radio buttons of the group that starts at firstId, in template order: the radio
    // buttons from it to the next item that starts a group; other kinds are skipped.
    std::vector<int32_t> RadioGroup(int32_t firstId) const;
    // Sets an item's value as the page shows it, without marking it changed.
    void ShowItemText(int32_t itemId, const CString& text);
    void ShowCheck(int32_t itemId, int32_t state);
    void RecordFailure(int32_t itemId, const CString& prompt);

protected:
    virtual void DoDataExchange(CDataExchange* pDX) = 0;

private:
    struct CItemState {
        CString text;
        int32_t check = 0;
        bool changed = false;
    };
    struct CQueued {
        CString name;
        std::function<CVariant()> read;
    };

    CItemState* Item(int32_t itemId);
    const CItemState* Item(int32_t itemId) const;
    // The id of the group an item belongs to: its own for anything but a radio button.
    int32_t GroupOf(int32_t itemId) const;
    bool GroupChanged(int32_t itemId) const;

    CDialogTemplate m_dialog;
    CString m_caption;
    std::vector<COleControl*> m_objects;
    std::map<int32_t, CItemState> m_items;
    std::vector<CQueued> m_queued;
    std::optional<CValidationFailure> m_failure;
    int32_t m_focus = IDC_STATIC;
};

// ---- Dialog data exchange: member and item ------------------------------------------------
// A number field: decimal with an optional sign and surrounding blanks, within the member's
// range; anything else fails the exchange with "Please enter an integer.".
void DDX_Text(CDataExchange* pDX, int32_t itemId, int32_t& value);
void DDX_Text(CDataExchange* pDX, int32_t itemId, CString& value);
// 0 clear, 1 checked.
void DDX_Check(CDataExchange* pDX, int32_t itemId, BOOL& value);
// The position of the checked button in the group starting at itemId; -1 when none is
// checked. A value outside the group checks none.
void DDX_Radio(CDataExchange* pDX, int32_t itemId, int32_t& value);
void DDX_Control(CDataExchange* pDX, int32_t itemId, CEdit& control);

// ---- Property exchange: member and control property ---------------------------------------
void DDP_Text(CDataExchange* pDX, int32_t itemId, int32_t& member, const char* propName);
void DDP_Text(CDataExchange* pDX, int32_t itemId, CString& member, const char* propName);
void DDP_Check(CDataExchange* pDX, int32_t itemId, BOOL& member, const char* propName);
void DDP_Radio(CDataExchange* pDX, int32_t itemId, int32_t& member, const char* propName);
// Sets the queued properties through the control's setters, when saving.
void DDP_PostProcessing(CDataExchange* pDX);
