// A context is a client's connection to one server: base URL (scheme, host,
// port, credentials, base path, base arguments), time-out and read block
// limit. The client creates a CContextHttx (context_httx_win.h) as a plain
// object, fills it through Setup and posts it to the transport, which owns
// it from then on.
#pragma once

#include "net/url_components.h"

#include <string>

namespace NetEx {

class IContextBase {
public:
    virtual ~IContextBase() = default;
    // The id the client chose; unique among that client's contexts.
    virtual int GetId() const = 0;
    virtual const std::string& GetName() const = 0;
    virtual const CUrlComponents& GetUrl() const = 0;
};

class IContextHttx : public virtual IContextBase {
public:
    // Milliseconds, for requests whose own time-out is 0.
    virtual unsigned GetTimeout() const = 0;
    // Largest read block in bytes (adaptive reads never exceed it).
    virtual unsigned GetBlockLimit() const = 0;
    virtual int GetRequestCount() const = 0;
    // `name` may be null (the context is then named after its id); a `url`
    // that does not parse leaves the URL empty.
    virtual void Setup(int id, const char* name, const char* url, unsigned timeout,
                       unsigned blockLimit) = 0;
    virtual bool SetUrl(const char* url) = 0;
    // Adds "a=1&b" style arguments to the base URL's.
    virtual void SetArgs(const char* args) = 0;
    virtual int IncRequestCount() = 0;
    // Never below 0.
    virtual int DecRequestCount() = 0;
};

} // namespace NetEx
