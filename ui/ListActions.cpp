#include "ui/ListActions.h"
