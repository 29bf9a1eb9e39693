#include <elements/DivElement.h>

namespace nimbolt {

void DivElement::paint(DeviceContext& context, const Rect& repaint)
{
    if (!needsPaint(repaint))
        return;
    paintBackground(context, repaint);
    selectTextSettings(context);
}

}
