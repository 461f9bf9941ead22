#include "utilities/mdgetdata.h"
