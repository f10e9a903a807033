// Type libraries: reading the binary form an IDL compiler writes (the "MSFT" layout of a
// .tlb file) far enough to register it and to check what it describes, and writing and
// removing a type library's rows in the registry substitute.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "framework/Com.h"
#include "framework/Registry.h"

enum TYPEKIND : int32_t {
    TKIND_ENUM = 0,
    TKIND_RECORD = 1,
    TKIND_MODULE = 2,
    TKIND_INTERFACE = 3,
    TKIND_DISPATCH = 4,
    TKIND_COCLASS = 5,
    TKIND_ALIAS = 6,
    TKIND_UNION = 7,
};

constexpr uint32_t TYPEFLAG_FAPPOBJECT = 0x1;
constexpr uint32_t TYPEFLAG_FCANCREATE = 0x2;
constexpr uint32_t TYPEFLAG_FLICENSED = 0x4;
constexpr uint32_t TYPEFLAG_FPREDECLID = 0x8;
constexpr uint32_t TYPEFLAG_FHIDDEN = 0x10;
constexpr uint32_t TYPEFLAG_FCONTROL = 0x20;
constexpr uint32_t TYPEFLAG_FDUAL = 0x40;
constexpr uint32_t TYPEFLAG_FNONEXTENSIBLE = 0x80;
constexpr uint32_t TYPEFLAG_FOLEAUTOMATION = 0x100;
constexpr uint32_t TYPEFLAG_FRESTRICTED = 0x200;
constexpr uint32_t TYPEFLAG_FDISPATCHABLE = 0x1000;

constexpr uint32_t LIBFLAG_FCONTROL = 0x2;

// The type of a member or parameter: an automation VARTYPE, or VT_USERDEFINED (29) with the
// name of the type it refers to (an alias such as OLE_COLOR, possibly imported).
struct CTypeLibType {
    uint16_t vt = 0;
    // For VT_USERDEFINED: the type referred to, by its GUID, and by name when it is a type of
    // this library. An imported type comes from the library file importedFrom, where it is
    // the type with index importedIndex when the reference gives no GUID.
    GUID userGuid{};
    CString userType;
    bool imported = false;
    CString importedFrom;
    int32_t importedIndex = -1;
};

struct CTypeLibParam {
    CString name;
    CTypeLibType type;
};

struct CTypeLibMember {
    enum class Kind { Function, Variable };
    Kind kind = Kind::Function;
    CString name;
    int32_t memid = 0;
    CTypeLibType type;  // a variable's type or a function's result
    std::vector<CTypeLibParam> params;
};

struct CTypeLibTypeInfo {
    CString name;
    GUID guid{};
    TYPEKIND kind = TKIND_ENUM;
    uint32_t flags = 0;  // TYPEFLAG_...
    CString docString;
    std::vector<CTypeLibMember> members;  // functions first, then variables
    // For a coclass: the interfaces it implements, by name, with their IMPLTYPEFLAGS.
    std::vector<std::pair<CString, int32_t>> implemented;
};

struct CTypeLibInfo {
    CString name;
    GUID libId{};
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    uint32_t lcid = 0;
    uint32_t flags = 0;  // LIBFLAG_...
    CString docString;
    CString helpFile;
    std::vector<CTypeLibTypeInfo> types;

    const CTypeLibTypeInfo* FindType(const CString& typeName) const;
};

// The library the bytes describe; nothing when they are not a well-formed type library
// (every offset is checked against the size, so hostile bytes give nothing, never a crash).
std::optional<CTypeLibInfo> ReadTypeLib(const uint8_t* data, size_t size);

// The rows registering a type library does, for a library held in the module at modulePath:
//   HKCR\TypeLib\{libId}\<major>.<minor> = doc string (the name when it has none),
//     \<lcid in hex>\win32 = modulePath, \FLAGS = flags in hex, \HELPDIR = the module's folder
//   HKCR\Interface\{iid} = name, \ProxyStubClsid and \ProxyStubClsid32 = the automation
//     marshaller, \TypeLib = {libId} with "Version" = "<major>.<minor>"
// for every dispatch interface (and dual or oleautomation interface) of the library.
void RegisterTypeLibRows(CRegistry& registry, const CTypeLibInfo& lib, const CString& modulePath);
// Removes the version's rows and the rows of the interfaces registered with it; the
// library's key goes too when no other version is left. FALSE when the version was not
// registered.
BOOL UnregisterTypeLibRows(CRegistry& registry, const GUID& libId, uint16_t major, uint16_t minor);
