// The branding archive embedded in the running executable (resource type
// "ZIP", id 130: config.xml, themes, language tables).
#pragma once

#include "update/archive/archive_store.h"

#include <string>

// Fills `store` from the resource. False with a reason in `error` when the
// resource is missing or empty or the archive does not open.
bool loadEmbeddedArchive(CArchiveHelperRar& store, std::string& error);
