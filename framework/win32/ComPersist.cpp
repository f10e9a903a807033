// Persistence: the property exchange's state in a stream, in a storage's "Contents" stream and
// in a property bag. A state is read whole and checked before the control hears of it, so a
// refused one leaves every property as it was.
#include "framework/PropertyBag.h"
#include "framework/StateStream.h"
#include "framework/win32/ComControlObject.h"

namespace {

// framework/StateStream.h reads and writes the bytes; a stream only carries them. The count is
// checked before the text is allocated, and a stream that ends early is refused before the
// control is touched.

HRESULT ReadExactly(IStream* stream, void* buffer, ULONG size) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(buffer, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? S_OK : STG_E_READFAULT;
}

HRESULT LoadBag(IStream* stream, CPropertyBag* bag) {
    if (!stream) return E_POINTER;
    uint8_t header[kStateHeaderBytes];
    HRESULT hr = ReadExactly(stream, header, sizeof header);
    if (FAILED(hr)) return hr;
    uint32_t size = 0;
    if (ParseStateHeader(header, &size) != StateError::None) return E_FAIL;
    CString text(size, '\0');
    if (size > 0) {
        hr = ReadExactly(stream, text.data(), size);
        if (FAILED(hr)) return hr;
    }
    return ParseStateText(text, bag) == StateError::None ? S_OK : E_FAIL;
}

HRESULT SaveBag(IStream* stream, const CPropertyBag& bag) {
    if (!stream) return E_POINTER;
    CString bytes;
    if (FormatState(bag, &bytes) != StateError::None) return E_FAIL;
    return stream->Write(bytes.data(), ULONG(bytes.size()), nullptr);
}

const wchar_t kContentsStream[] = L"Contents";

}  // namespace

HRESULT CControlObject::GetClassID(CLSID* clsid) {
    return GetUserClassID(clsid);
}

HRESULT CControlObject::IsDirty() {
    return Guard([&] { return m_control->IsModified() ? S_OK : S_FALSE; });
}

HRESULT CControlObject::Load(IStream* stream) {
    return Guard([&] {
        CPropertyBag bag;
        const HRESULT hr = LoadBag(stream, &bag);
        if (FAILED(hr)) return hr;
        m_control->LoadProperties(bag);
        return S_OK;
    });
}

HRESULT CControlObject::Save(IStream* stream, BOOL clearDirty) {
    return Guard([&] {
        CPropertyBag bag;
        m_control->SaveProperties(bag, FALSE);
        const HRESULT hr = SaveBag(stream, bag);
        // Clean only once the state is written.
        if (SUCCEEDED(hr) && clearDirty && m_control->IsModified()) {
            m_control->SetModifiedFlag(FALSE);
        }
        return hr;
    });
}

HRESULT CControlObject::GetSizeMax(ULARGE_INTEGER* size) {
    return Guard([&] {
        if (!size) return E_POINTER;
        CPropertyBag bag;
        m_control->SaveProperties(bag, FALSE);
        size->QuadPart = kStateHeaderBytes + bag.ToText().size();
        return S_OK;
    });
}

HRESULT CControlObject::InitNew() {
    return Guard([&] {
        m_control->OnResetState();
        return S_OK;
    });
}

HRESULT CControlObject::InitNew(IStorage*) {
    return InitNew();
}

HRESULT CControlObject::Load(IStorage* storage) {
    return Guard([&] {
        if (!storage) return E_POINTER;
        CComPtr<IStream> stream;
        const HRESULT hr = storage->OpenStream(kContentsStream, nullptr,
                                               STGM_READ | STGM_SHARE_EXCLUSIVE, 0, stream.Out());
        return FAILED(hr) ? hr : Load(stream.Get());
    });
}

HRESULT CControlObject::Save(IStorage* storage, BOOL) {
    return Guard([&] {
        if (!storage) return E_POINTER;
        CComPtr<IStream> stream;
        const HRESULT hr = storage->CreateStream(
            kContentsStream, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, stream.Out());
        return FAILED(hr) ? hr : Save(stream.Get(), TRUE);
    });
}

HRESULT CControlObject::SaveCompleted(IStorage*) {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::HandsOffStorage() {
    return Guard([] { return S_OK; });
}

HRESULT CControlObject::Load(IPropertyBag* source, IErrorLog* log) {
    return Guard([&] {
        if (!source) return E_POINTER;
        // The names to read are those a save writes.
        CPropertyBag names;
        m_control->SaveProperties(names, FALSE);
        CPropertyBag bag;
        for (const auto& [name, unused] : names.Entries()) {
            const CBstrHolder wide(BstrFromString(name));
            if (!wide.Get()) return E_OUTOFMEMORY;
            // The hint asks for a string; the bag owns nothing in it until a Read succeeds.
            VARIANT value;
            VariantInit(&value);
            value.vt = VT_BSTR;
            value.bstrVal = nullptr;
            if (FAILED(source->Read(wide.Get(), &value, log))) continue;
            CVariantHolder read;
            *read.Get() = value;
            CVariantHolder text;
            if (SUCCEEDED(VariantChangeType(text.Get(), read.Get(), 0, VT_BSTR)) &&
                !bag.Write(name, StringFromBstr(text.Get()->bstrVal))) {
                return E_FAIL;
            }
        }
        m_control->LoadProperties(bag);
        return S_OK;
    });
}

HRESULT CControlObject::Save(IPropertyBag* target, BOOL clearDirty, BOOL) {
    return Guard([&] {
        if (!target) return E_POINTER;
        CPropertyBag bag;
        m_control->SaveProperties(bag, FALSE);
        for (const auto& [name, text] : bag.Entries()) {
            const CBstrHolder wide(BstrFromString(name));
            CVariantHolder value;
            value.Get()->vt = VT_BSTR;
            value.Get()->bstrVal = BstrFromString(text);
            if (!wide.Get() || !value.Get()->bstrVal) return E_OUTOFMEMORY;
            const HRESULT hr = target->Write(wide.Get(), value.Get());
            if (FAILED(hr)) return hr;
        }
        if (clearDirty && m_control->IsModified()) m_control->SetModifiedFlag(FALSE);
        return S_OK;
    });
}
