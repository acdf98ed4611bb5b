#include "tests/plugins/scripted/ScriptedLog.h"

Q_LOGGING_CATEGORY(lcScripted, "twg.test.scripted")
