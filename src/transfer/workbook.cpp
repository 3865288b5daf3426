#include "transfer/workbook.h"
