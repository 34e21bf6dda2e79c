// Chooses the update server. Keeps the candidate server (login) URLs, the
// data-update URLs, the selected and last known good URL and the user's
// location, merged from four sources, weakest first: the configuration's
// ClientUpdateData element, the stamped server list, CUD.dat (saved by earlier
// runs) and the client update data the server sends at run time. Knows nothing
// about HTTP: the logic reports to it and asks it for the next URL.
//
// Used only on the logic's (GUI) thread; no locking. Failures are false plus a
// log line; nothing throws.
#pragma once

#include "net/download/cud_data.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CBuffer;
class ICudStore;

namespace tinyxml2 {
class XMLElement;
}

class CUrlSelector {
public:
    // One log message, UTF-8; `lineEnd` false when the next message continues
    // the line (messages ending in "... ").
    using LogRoutine = std::function<void(const std::string& text, bool lineEnd)>;

    // `store` reads and writes CUD.dat; not owned, must outlive the selector.
    explicit CUrlSelector(ICudStore& store);
    CUrlSelector(const CUrlSelector&) = delete;
    CUrlSelector& operator=(const CUrlSelector&) = delete;
    virtual ~CUrlSelector();

    // Installs the log routine and enables logging (a null routine disables).
    void SetLog(LogRoutine routine);
    void EnableLog(bool enabled);
    bool IsLogEnabled() const { return logEnabled; }
    // 32 hexadecimal digits naming the 16-byte key of CUD.dat.
    void SetCudKey(std::string_view key) { cudKey = key; }

    // Merges the configuration's ClientUpdateData element (may be null), the
    // stamped server list (may be empty) and CUD.dat at `cudPath` (may be
    // empty: no file). A CUD.dat that cannot be read is ignored. `plainCud`
    // dumps the data into the log and writes CUD.dat unenciphered. Fails when
    // the result has no server URL. Starts from scratch when called again.
    bool Init(const tinyxml2::XMLElement* predefined, const CUrlList& stampedUrls,
              const std::wstring& cudPath, bool plainCud);

    // The next server URL of the current pass into SelectedURL: the saved one
    // first, then each other once in list order; the call after the last one
    // fails once ("list depleted") and the next call starts a new pass.
    bool SelectServerUrl();
    // The same rotation over the data-update URLs into dataUpdateUrl, with its
    // own counter.
    bool SelectDataUpdateUrl();

    // Client update data received from the server (zero-terminated XML, not
    // enciphered). True only when the server lists changed; the selection then
    // starts a new pass over the new list.
    bool ApplyIncomingCud(const char* xml);

    // The user's own server URL, on trial until accepted or rejected.
    bool SetCustomUrl(const std::string& url);
    // The pending URL answered: it joins the login list and stays selected.
    bool AcceptCustomUrl();
    // The pending URL failed: it is forgotten.
    void RejectCustomUrl();

    // Writes CUD.dat when something changed. `mergeRtd` first takes over the
    // run-time values (last known good URL, country, city) that another
    // launcher or the game client may have written into the file since.
    bool SaveCudFile(bool mergeRtd);

    const SFaceData& Face() const { return face; }
    const SLocationData& Location() const { return location; }
    bool IsInitialized() const { return initialized; }
    bool IsModified() const { return modified; }
    bool IsPlainCud() const { return plainCud; }

private:
    void reset();
    void logText(std::string_view text, bool lineEnd) const;
    void logPart(std::string_view text) const { logText(text, false); }
    void logLine(std::string_view text) const { logText(text, true); }
    void logSelectionLine() const;
    void dumpCud(const char* title) const;

    void loadAndMergeCudFile();
    // Reads CUD.dat; its face (matched by id) into `loaded` when not null, its
    // location into `into`.
    bool loadCudFile(SFaceData* loaded, SLocationData& into);
    std::string cudFileText(const std::vector<uint8_t>& bytes) const;
    void mergeRunTimeData();
    bool encryptCud(const std::string& xml, CBuffer& out) const;

    SFaceData face;
    SLocationData location;
    int selectIndex = 0;
    int dataUpdateIndex = 0;
    std::wstring cudPath;
    std::string cudKey;
    bool plainCud = false;
    bool modified = false;
    bool logEnabled = false;
    LogRoutine log;
    bool initialized = false;
    ICudStore& store;
};
