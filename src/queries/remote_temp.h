#pragma once
// The working table Temp rebuilt from a remote query's checked result.
#include "engine/database.h"
#include "queries/remote_result.h"

#include <string_view>

namespace varnoke {

inline constexpr std::string_view kRemoteResultTable = "Temp";

// Drops Temp and makes it again with the result's fields and exactly its rows. The
// result has been checked whole, so every value fits its field; an engine error (a
// full disk) is raised to the caller.
void rebuildTemp(Database& db, const RemoteResult& result);

} // namespace varnoke
