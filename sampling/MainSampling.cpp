// The main window's mouse handling on its surface.
#include "Main.h"

#include "Display.h"
#include "Surface.h"

void TProbnikMain::FormMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y)
{
    Q_UNUSED(shift);
    // Area mode and the left-click sample are added with the sample list; until then only the
    // magnifier answers the mouse.
    if (button == Qt::RightButton) {
        MagnifierCentre = { x, y };
        RefreshMagnifier();
        canvas().draw(probnik::display::MagnifierOrigin, MagnifierBitmap);
        Client->update();
    }
}
