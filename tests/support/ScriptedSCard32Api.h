#pragma once
#include "support/ScriptedLibraries.h"
