#pragma once
// The database engine layer in one include: Engine, Workspace, Database, TableDef(s),
// QueryDef(s), Recordset, Field and EngineError.
#include "engine/database.h"
#include "engine/engine_error.h"
#include "engine/field.h"
#include "engine/recordset.h"
