#include "kit/framework/BonjourInfo.h"

int registerBonjourInfoMetaType()
{
    return qRegisterMetaType<BonjourInfo>("BonjourInfo");
}
