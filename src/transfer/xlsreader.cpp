#include "transfer/xlsreader.h"
