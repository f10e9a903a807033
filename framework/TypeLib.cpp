#include "framework/TypeLib.h"

#include <cstdio>

#include "platform/StringUtil.h"

namespace {

constexpr uint32_t kMagic = 0x5446534D;  // "MSFT"
constexpr size_t kHeaderSize = 0x54;
constexpr uint32_t kHelpDllFlag = 0x100;  // an extra INT follows the header
constexpr int32_t kSegmentCount = 15;
constexpr size_t kTypeInfoSize = 0x64;
constexpr size_t kGuidEntrySize = 24;
constexpr size_t kParamInfoSize = 12;
// Limits far above anything a control's library holds; beyond them the bytes are refused.
constexpr int32_t kMaxTypeInfos = 4096;
constexpr int32_t kMaxMembers = 4096;
constexpr uint16_t VT_USERDEFINED = 29;
constexpr int32_t kImpInfoOffsetIsGuid = 0x00010000;
constexpr uint16_t VT_TYPEMASK = 0x0FFF;

// The marshallers: dispatch interfaces go through IDispatch's, dual and oleautomation
// interfaces through the type-library marshaller.
constexpr const char* kDispatchProxy = "{00020420-0000-0000-C000-000000000046}";
constexpr const char* kOleAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

enum Segment {
    kSegTypeInfo = 0,
    kSegImpInfo = 1,
    kSegImpFiles = 2,
    kSegRefTab = 3,
    kSegGuidTab = 5,
    kSegNameTab = 7,
    kSegStringTab = 8,
    kSegTypeDesc = 9,
};

// Bounded little-endian reads: a read past the end marks the reader failed and gives 0.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Ok() const { return m_ok; }
    void Fail() { m_ok = false; }
    bool Has(int64_t offset, int64_t count) const {
        return offset >= 0 && count >= 0 && uint64_t(offset) + uint64_t(count) <= m_size;
    }
    int32_t I32(int64_t offset) {
        if (!Has(offset, 4)) return Fail(), 0;
        const uint8_t* p = m_data + offset;
        return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                       uint32_t(p[3]) << 24);
    }
    int16_t I16(int64_t offset) {
        if (!Has(offset, 2)) return Fail(), 0;
        const uint8_t* p = m_data + offset;
        return int16_t(uint16_t(p[0] | p[1] << 8));
    }
    CString Chars(int64_t offset, int64_t count) {
        if (!Has(offset, count)) return Fail(), CString();
        return CString(reinterpret_cast<const char*>(m_data + offset), size_t(count));
    }
    GUID Guid(int64_t offset) {
        GUID g;
        if (!Has(offset, 16)) return Fail(), g;
        g.Data1 = uint32_t(I32(offset));
        g.Data2 = uint16_t(I16(offset + 4));
        g.Data3 = uint16_t(I16(offset + 6));
        for (int i = 0; i < 8; ++i) g.Data4[i] = m_data[offset + 8 + i];
        return g;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    bool m_ok = true;
};

class TypeLibParser {
public:
    TypeLibParser(const uint8_t* data, size_t size) : r(data, size) {}

    std::optional<CTypeLibInfo> Parse() {
        if (uint32_t(r.I32(0)) != kMagic || !r.Ok()) return std::nullopt;
        CTypeLibInfo lib;
        int32_t posGuid = r.I32(0x08);
        lib.lcid = uint32_t(r.I32(0x0C));
        int32_t varFlags = r.I32(0x14);
        int32_t version = r.I32(0x18);
        lib.majorVersion = uint16_t(version & 0xFFFF);
        lib.minorVersion = uint16_t(uint32_t(version) >> 16);
        lib.flags = uint32_t(r.I32(0x1C));
        int32_t typeCount = r.I32(0x20);
        int32_t helpString = r.I32(0x24);
        int32_t nameOffset = r.I32(0x38);
        int32_t helpFile = r.I32(0x3C);
        if (!r.Ok() || typeCount < 0 || typeCount > kMaxTypeInfos) return std::nullopt;

        int64_t pos = kHeaderSize + ((varFlags & kHelpDllFlag) ? 4 : 0);
        std::vector<int32_t> typeOffsets;
        for (int32_t i = 0; i < typeCount; ++i) typeOffsets.push_back(r.I32(pos + 4 * i));
        pos += 4 * int64_t(typeCount);
        for (int32_t s = 0; s < kSegmentCount; ++s) {
            m_seg[s].offset = r.I32(pos + 16 * s);
            m_seg[s].length = r.I32(pos + 16 * s + 4);
        }
        if (!r.Ok()) return std::nullopt;

        lib.libId = GuidAt(posGuid);
        lib.name = NameAt(nameOffset);
        lib.docString = StringAt(helpString);
        lib.helpFile = StringAt(helpFile);
        for (int32_t offset : typeOffsets) {
            m_typeInfoOffsets.push_back(offset);
        }
        for (int32_t offset : typeOffsets) {
            lib.types.push_back(ParseTypeInfo(offset));
            if (!r.Ok()) return std::nullopt;
        }
        if (!r.Ok()) return std::nullopt;
        return lib;
    }

private:
    struct Seg {
        int32_t offset = -1;
        int32_t length = 0;
    };

    // An offset within a segment, or -1 when it lies outside.
    int64_t InSegment(int32_t seg, int64_t offset, int64_t count) {
        const Seg& s = m_seg[seg];
        if (s.offset < 0 || offset < 0 || offset + count > s.length) {
            r.Fail();
            return -1;
        }
        return s.offset + offset;
    }

    GUID GuidAt(int32_t offset) {
        if (offset < 0) return GUID{};
        int64_t at = InSegment(kSegGuidTab, offset, kGuidEntrySize);
        return at < 0 ? GUID{} : r.Guid(at);
    }

    CString NameAt(int32_t offset) {
        if (offset < 0) return CString();
        int64_t at = InSegment(kSegNameTab, offset, 12);
        if (at < 0) return CString();
        int32_t length = r.I32(at + 8) & 0xFF;
        if (InSegment(kSegNameTab, offset + 12, length) < 0) return CString();
        return r.Chars(at + 12, length);
    }

    CString StringAt(int32_t offset) {
        if (offset < 0) return CString();
        int64_t at = InSegment(kSegStringTab, offset, 2);
        if (at < 0) return CString();
        int32_t length = uint16_t(r.I16(at));
        if (InSegment(kSegStringTab, offset + 2, length) < 0) return CString();
        return r.Chars(at + 2, length);
    }

    // The type a reference names: a type of this library by its offset in the type-info
    // table, or (odd references) an entry of the import table, which gives the imported
    // type's GUID and the file it comes from but not its name.
    void ReferencedType(int32_t hrefType, CTypeLibType* t) {
        if (hrefType & 1) {
            int64_t imp = InSegment(kSegImpInfo, hrefType & ~3, 12);
            if (imp < 0) return;
            t->imported = true;
            int32_t flags = r.I32(imp);
            int32_t file = r.I32(imp + 4);
            if (flags & kImpInfoOffsetIsGuid) {
                t->userGuid = GuidAt(r.I32(imp + 8));
            } else {
                t->importedIndex = r.I32(imp + 8);
            }
            int64_t at = InSegment(kSegImpFiles, file, 14);
            if (at < 0) return;
            // The name's length is kept times four, in the low bits' place.
            int32_t length = uint16_t(r.I16(at + 12)) >> 2;
            if (InSegment(kSegImpFiles, file + 14, length) < 0) return;
            t->importedFrom = r.Chars(at + 14, length);
            return;
        }
        for (int32_t offset : m_typeInfoOffsets) {
            if (offset == (hrefType & ~3)) {
                int64_t at = InSegment(kSegTypeInfo, offset, kTypeInfoSize);
                if (at < 0) return;
                t->userType = NameAt(r.I32(at + 0x34));
                t->userGuid = GuidAt(r.I32(at + 0x2C));
                return;
            }
        }
    }

    CString ReferencedTypeName(int32_t hrefType) {
        CTypeLibType t;
        ReferencedType(hrefType, &t);
        return t.userType;
    }

    CTypeLibType TypeAt(int32_t dataType) {
        CTypeLibType t;
        if (dataType < 0) {
            // A simple type is coded in the value itself.
            t.vt = uint16_t(dataType & VT_TYPEMASK);
            return t;
        }
        int64_t at = InSegment(kSegTypeDesc, dataType, 8);
        if (at < 0) return t;
        t.vt = uint16_t(r.I16(at));
        if ((t.vt & VT_TYPEMASK) == VT_USERDEFINED) ReferencedType(r.I32(at + 4), &t);
        return t;
    }

    CTypeLibTypeInfo ParseTypeInfo(int32_t offset) {
        CTypeLibTypeInfo info;
        int64_t at = InSegment(kSegTypeInfo, offset, kTypeInfoSize);
        if (at < 0) return info;
        info.kind = TYPEKIND(r.I32(at) & 0xF);
        int32_t memOffset = r.I32(at + 0x04);
        int32_t elements = r.I32(at + 0x18);
        info.guid = GuidAt(r.I32(at + 0x2C));
        info.flags = uint32_t(r.I32(at + 0x30));
        info.name = NameAt(r.I32(at + 0x34));
        info.docString = StringAt(r.I32(at + 0x3C));
        int32_t implTypes = r.I16(at + 0x4C);
        int32_t dataType1 = r.I32(at + 0x54);

        if (info.kind == TKIND_COCLASS) {
            int32_t ref = dataType1;
            for (int32_t i = 0; i < implTypes && ref >= 0 && r.Ok(); ++i) {
                int64_t rec = InSegment(kSegRefTab, ref, 16);
                if (rec < 0) break;
                info.implemented.emplace_back(ReferencedTypeName(r.I32(rec)), r.I32(rec + 4));
                ref = r.I32(rec + 12);
            }
        }
        int32_t funcs = elements & 0xFFFF;
        int32_t vars = int32_t(uint32_t(elements) >> 16);
        if (funcs + vars > 0) ParseMembers(memOffset, funcs, vars, &info);
        return info;
    }

    // The member block: the records' total size, the records, then for every member its
    // DISPID, its name offset and its record's offset, functions before variables.
    void ParseMembers(int32_t memOffset, int32_t funcs, int32_t vars, CTypeLibTypeInfo* info) {
        int32_t count = funcs + vars;
        if (count > kMaxMembers) return r.Fail();
        int64_t recordsSize = r.I32(memOffset);
        int64_t records = int64_t(memOffset) + 4;
        int64_t ids = records + recordsSize;
        if (!r.Ok() || recordsSize < 0 || !r.Has(ids, 12 * int64_t(count))) return r.Fail();
        for (int32_t i = 0; i < count && r.Ok(); ++i) {
            CTypeLibMember m;
            m.kind = i < funcs ? CTypeLibMember::Kind::Function : CTypeLibMember::Kind::Variable;
            m.memid = r.I32(ids + 4 * i);
            m.name = NameAt(r.I32(ids + 4 * (count + i)));
            int64_t rec = records + r.I32(ids + 4 * (2 * count + i));
            int32_t recSize = r.I32(rec) & 0xFFFF;
            if (!r.Has(rec, recSize) || rec + recSize > ids) return r.Fail();
            m.type = TypeAt(r.I32(rec + 4));
            if (m.kind == CTypeLibMember::Kind::Function) {
                int32_t args = r.I16(rec + 0x14);
                int64_t params = rec + recSize - int64_t(args) * kParamInfoSize;
                if (args < 0 || params < rec + 0x18) return r.Fail();
                for (int32_t a = 0; a < args; ++a) {
                    CTypeLibParam p;
                    p.type = TypeAt(r.I32(params + a * kParamInfoSize));
                    p.name = NameAt(r.I32(params + a * kParamInfoSize + 4));
                    m.params.push_back(std::move(p));
                }
            }
            info->members.push_back(std::move(m));
        }
    }

    Reader r;
    Seg m_seg[kSegmentCount];
    std::vector<int32_t> m_typeInfoOffsets;
};

CString VersionText(uint16_t major, uint16_t minor) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u", unsigned(major), unsigned(minor));
    return text;
}

CString HexText(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", unsigned(v));
    return text;
}

CString FolderOf(const CString& path) {
    size_t sep = path.find_last_of("/\\");
    return sep == CString::npos ? CString() : path.substr(0, sep);
}

}  // namespace

const CTypeLibTypeInfo* CTypeLibInfo::FindType(const CString& typeName) const {
    for (const CTypeLibTypeInfo& t : types) {
        if (EqualsNoCase(t.name, typeName)) return &t;
    }
    return nullptr;
}

std::optional<CTypeLibInfo> ReadTypeLib(const uint8_t* data, size_t size) {
    if (data == nullptr) return std::nullopt;
    return TypeLibParser(data, size).Parse();
}

void RegisterTypeLibRows(CRegistry& registry, const CTypeLibInfo& lib, const CString& modulePath) {
    CString version = VersionText(lib.majorVersion, lib.minorVersion);
    CString libKey = "HKEY_CLASSES_ROOT\\TypeLib\\" + StringFromGUID(lib.libId) + "\\" + version;
    registry.SetString(libKey, "", lib.docString.empty() ? lib.name : lib.docString);
    registry.SetString(libKey + "\\" + HexText(lib.lcid) + "\\win32", "", modulePath);
    registry.SetString(libKey + "\\FLAGS", "", HexText(lib.flags));
    registry.SetString(libKey + "\\HELPDIR", "", FolderOf(modulePath));
    for (const CTypeLibTypeInfo& t : lib.types) {
        bool automation = t.kind == TKIND_DISPATCH ||
                          (t.kind == TKIND_INTERFACE &&
                           (t.flags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0);
        if (!automation) continue;
        CString key = "HKEY_CLASSES_ROOT\\Interface\\" + StringFromGUID(t.guid);
        const char* proxy = t.kind == TKIND_DISPATCH ? kDispatchProxy : kOleAutomationProxy;
        registry.SetString(key, "", t.name);
        registry.SetString(key + "\\ProxyStubClsid", "", proxy);
        registry.SetString(key + "\\ProxyStubClsid32", "", proxy);
        registry.SetString(key + "\\TypeLib", "", StringFromGUID(lib.libId));
        registry.SetString(key + "\\TypeLib", "Version", version);
    }
}

BOOL UnregisterTypeLibRows(CRegistry& registry, const GUID& libId, uint16_t major, uint16_t minor) {
    CString version = VersionText(major, minor);
    CString libRoot = "HKEY_CLASSES_ROOT\\TypeLib\\" + StringFromGUID(libId);
    if (!registry.DeleteKey(libRoot + "\\" + version)) return FALSE;
    // The library's key goes with its last version.
    bool otherVersions = false;
    CString prefix = CRegistry::NormalizeKey(libRoot) + "\\";
    for (const CString& key : registry.Keys()) {
        if (key.size() > prefix.size() && EqualsNoCase(key.substr(0, prefix.size()), prefix)) {
            otherVersions = true;
            break;
        }
    }
    if (!otherVersions) registry.DeleteKey(libRoot);

    const CString interfaces = "HKEY_CLASSES_ROOT\\Interface\\";
    std::vector<CString> doomed;
    for (const CString& key : registry.Keys()) {
        // Only the keys HKCR\Interface\{iid} themselves, not their subkeys.
        if (key.size() <= interfaces.size() ||
            !EqualsNoCase(key.substr(0, interfaces.size()), interfaces) ||
            key.find('\\', interfaces.size()) != CString::npos) {
            continue;
        }
        auto lib = registry.GetString(key + "\\TypeLib", "");
        auto ver = registry.GetString(key + "\\TypeLib", "Version");
        auto id = lib ? GUIDFromString(*lib) : std::nullopt;
        if (id && *id == libId && ver && *ver == version) doomed.push_back(key);
    }
    for (const CString& key : doomed) registry.DeleteKey(key);
    return TRUE;
}
