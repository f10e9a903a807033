// One outgoing interface's connections, typed by the interface its sinks are called through.
// Its references are its container's.
#pragma once

#include <algorithm>
#include <type_traits>
#include <vector>

#include "framework/ComBase.h"

template <class Sink>
class CConnectionPoint final : public CComPart<IConnectionPoint> {
public:
    // iid is the outgoing interface; a point whose sinks are called through IDispatch (an
    // event interface, which is a dispinterface) also takes a sink that offers only that.
    CConnectionPoint(IConnectionPointContainer& owner, const IID& iid)
        : CComPart(owner), m_owner(owner), m_iid(iid) {}

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        return Guard([&] {
            if (!iid) return E_POINTER;
            *iid = m_iid;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** out) override {
        return Guard([&] {
            if (!out) return E_POINTER;
            *out = CComPtr<IConnectionPointContainer>(&m_owner).CopyOut();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        return Guard([&] {
            if (!sink || !cookie) return E_POINTER;
            *cookie = 0;
            CComPtr<IUnknown> offered(sink);
            CComPtr<Sink> held = offered.As<Sink>(m_iid);
            if constexpr (std::is_same_v<Sink, IDispatch>) {
                if (!held) held = offered.As<IDispatch>();
            }
            if (!held) return CONNECT_E_CANNOTCONNECT;
            m_sinks.push_back({m_nextCookie, std::move(held)});
            *cookie = m_nextCookie++;
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        return Guard([&] {
            auto it = std::find_if(m_sinks.begin(), m_sinks.end(),
                                   [cookie](const Connection& c) { return c.cookie == cookie; });
            if (it == m_sinks.end()) return CONNECT_E_NOCONNECTION;
            // Released after the list no longer holds it: the sink may call back.
            const CComPtr<Sink> sink = std::move(it->sink);
            m_sinks.erase(it);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override {
        return Guard([&] {
            if (out) *out = nullptr;
            return E_NOTIMPL;
        });
    }

    // The sinks connected now, each held: a sink may disconnect while it is told.
    std::vector<CComPtr<Sink>> Sinks() const {
        std::vector<CComPtr<Sink>> sinks;
        sinks.reserve(m_sinks.size());
        for (const Connection& c : m_sinks) sinks.push_back(c.sink);
        return sinks;
    }

private:
    struct Connection {
        DWORD cookie;
        CComPtr<Sink> sink;
    };
    IConnectionPointContainer& m_owner;
    IID m_iid;
    DWORD m_nextCookie = 1;
    std::vector<Connection> m_sinks;
};
