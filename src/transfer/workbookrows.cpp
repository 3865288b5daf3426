#include "transfer/workbookrows.h"
