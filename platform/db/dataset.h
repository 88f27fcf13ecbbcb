// The datasets of the engine binding: fields, the cursor they share, tables,
// queries and in-memory tables. Include this to use any of them.
#pragma once

#include "platform/db/datasetbase.h"
#include "platform/db/field.h"
#include "platform/db/memtable.h"
#include "platform/db/query.h"
#include "platform/db/table.h"
