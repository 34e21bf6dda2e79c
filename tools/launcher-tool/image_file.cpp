#include "image_file.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool readImageFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool writeImageFile(const std::string& path, const std::vector<uint8_t>& bytes,
                    std::string& error) {
    CPartFileSink file;
    if (!file.Open(path, error))
        return false;
    if (!bytes.empty())
        file.Write(bytes.data(), bytes.size());
    return file.Commit(error);
}

CPartFileSink::~CPartFileSink() {
    discard();
}

void CPartFileSink::discard() {
    if (sTemp.empty())
        return;
    out.close();
    std::remove(sTemp.c_str());
    sTemp.clear();
}

bool CPartFileSink::Open(const std::string& path, std::string& error) {
    discard();
    sPath = path;
    sTemp = path + ".part";
    out.open(sTemp, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + sTemp;
        discard();
        return false;
    }
    return true;
}

bool CPartFileSink::Write(const uint8_t* bytes, size_t count) {
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    return static_cast<bool>(out);
}

bool CPartFileSink::Commit(std::string& error) {
    out.close();
    if (!out) {
        error = "cannot write " + sTemp;
        discard();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(sTemp, sPath, ec);
    if (ec) {
        error = "cannot rename " + sTemp + " to " + sPath + ": " + ec.message();
        discard();
        return false;
    }
    sTemp.clear();
    return true;
}
