#include "transfer/importer.h"
