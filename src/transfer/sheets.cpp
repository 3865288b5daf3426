#include "transfer/sheets.h"
