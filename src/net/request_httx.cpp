#include "net/request_httx.h"

#include "net/request_rules.h"

#include <cstdlib>
#include <ctime>

namespace NetEx {

namespace {

void copyBuffer(CBuffer& to, const CBuffer& from) {
    to.Free();
    to.Append(from.GetData(), from.GetLength());
}

bool isEmpty(const char* text) {
    return text == nullptr || *text == '\0';
}

} // namespace

CRequestHttxBase::CRequestHttxBase(const CRequestHttxBase& pattern)
    : IRequestHttx(), contextId(pattern.contextId), requestId(pattern.requestId),
      fullUrl(pattern.fullUrl), relativeUrl(pattern.relativeUrl), mergeArgs(pattern.mergeArgs),
      verb(pattern.verb), timeout(pattern.timeout), flags(pattern.flags),
      securityFlags(pattern.securityFlags), extraHeaderText(pattern.extraHeaderText),
      captureSentHeaders(pattern.captureSentHeaders),
      captureResponseHeaders(pattern.captureResponseHeaders), redirectCount(pattern.redirectCount),
      tag(pattern.tag), logMaskPattern(pattern.logMaskPattern),
      logMaskReplacement(pattern.logMaskReplacement), readBlockSize(pattern.readBlockSize),
      adaptiveRead(pattern.adaptiveRead), answerLimits(pattern.answerLimits) {
    copyBuffer(requestHeaders, pattern.requestHeaders);
    copyBuffer(requestBody, pattern.requestBody);
}

void CRequestHttxBase::SetIds(int newContextId, int newRequestId) {
    contextId = newContextId;
    requestId = newRequestId;
}

bool CRequestHttxBase::SetFullUrl(const char* url) {
    return fullUrl.Parse(url);
}

bool CRequestHttxBase::SetRelativeUrl(const char* url) {
    if (!relativeUrl.Parse(url))
        return false;
    // The full URL is the relative one until somebody says otherwise.
    if (fullUrl.IsEmpty())
        fullUrl = relativeUrl;
    return true;
}

void CRequestHttxBase::Setup(int newContextId, int newRequestId, const char* url, bool newMergeArgs,
                             int newVerb, unsigned newTimeout, unsigned newFlags,
                             unsigned newSecurityFlags, int readBlock, bool newCaptureSentHeaders,
                             bool newCaptureResponseHeaders, const char* newLogMaskPattern,
                             const char* newLogMaskReplacement) {
    SetIds(newContextId, newRequestId);
    SetRelativeUrl(url);
    mergeArgs = newMergeArgs;
    verb = newVerb;
    timeout = newTimeout;
    flags = newFlags;
    securityFlags = newSecurityFlags;
    adaptiveRead = readBlock == kReadBlockAdaptive;
    readBlockSize = adaptiveRead ? kMinAdaptiveBlock : static_cast<unsigned>(readBlock);
    captureSentHeaders = newCaptureSentHeaders;
    captureResponseHeaders = newCaptureResponseHeaders;
    if (!isEmpty(newLogMaskPattern))
        logMaskPattern = newLogMaskPattern;
    if (!isEmpty(newLogMaskReplacement))
        logMaskReplacement = newLogMaskReplacement;
}

void CRequestHttxBase::SetArgs(const char* args) {
    if (args != nullptr)
        relativeUrl.AddArgs(args);
}

void CRequestHttxBase::SetExtraHeaderText(const char* text) {
    if (!isEmpty(text))
        extraHeaderText = text;
}

void CRequestHttxBase::appendText(CBuffer& buffer, const std::string& text) {
    buffer.Append(text.data(), static_cast<unsigned>(text.size()));
}

void CRequestHttxBase::AddHeader(const char* line) {
    if (!isEmpty(line))
        appendText(requestHeaders, line);
}

void CRequestHttxBase::AddRange(uint64_t start, unsigned length) {
    appendText(requestHeaders, rangeHeader(start, length));
    answerLimits.range = true;
    answerLimits.rangeStart = start;
    answerLimits.maxBody = rangeByteCount(length);
}

void CRequestHttxBase::SetBodyLimits(uint64_t maxBody, uint64_t maxErrorBody) {
    answerLimits.maxBody = maxBody;
    answerLimits.maxErrorBody = maxErrorBody;
}

void CRequestHttxBase::AddContentLength(unsigned length) {
    appendText(requestHeaders, contentLengthHeader(length));
}

void CRequestHttxBase::SetMultipartBoundary(const char* boundary) {
    if (!isEmpty(boundary)) {
        multipartBoundary = boundary;
    } else {
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        const auto a = static_cast<uint32_t>(std::rand());
        const auto b = static_cast<uint32_t>(std::rand());
        multipartBoundary = boundaryFromRandom(a, b);
    }
    appendText(requestHeaders, multipartContentTypeHeader(multipartBoundary));
}

void CRequestHttxBase::AppendBody(const void* data, unsigned length) {
    if (data != nullptr && length != 0)
        requestBody.Append(data, length);
}

void CRequestHttxBase::AttachBody(CBuffer& other) {
    requestBody.Attach(other);
}

bool CRequestHttxBase::AddFormPart(const char* name, const char* fileName,
                                   const char* contentType) {
    if (multipartBoundary.empty() || isEmpty(name) || isEmpty(contentType))
        return false;
    std::string head;
    if (!formPartHead(multipartBoundary, name, fileName ? fileName : "", contentType, head))
        return false;
    appendText(requestBody, head);
    return true;
}

bool CRequestHttxBase::EndMultipart() {
    if (multipartBoundary.empty())
        return false;
    appendText(requestBody, multipartEnd(multipartBoundary));
    return true;
}

} // namespace NetEx
