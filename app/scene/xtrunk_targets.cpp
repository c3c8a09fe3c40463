// TEMPORARY skeleton: targets and attributes of an item are being filled in; every body here does nothing yet.
#include "app/scene/condition_list.h"
#include "app/scene/xtrunk.h"

namespace kz::scene {

int XTrunk::MatchTerm(const ConditionList*, int) { return 0; }
int XTrunk::MatchTarget(const ConditionList*) { return 0; }
int XTrunk::FindTargetPart(const ConditionList*) { return -1; }
int XTrunk::AttributeEquals(const char*, const char*) { return 0; }
int XTrunk::GetAttribute(const char*, char* buffer, int size) {
    if (buffer && size > 1) buffer[0] = '-', buffer[1] = '\0';
    return -99;
}
void XTrunk::UpdateCalcAttributes() {}

}  // namespace kz::scene
