#include "transfer/xlsxreader.h"
