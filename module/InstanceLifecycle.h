// Creating and destroying analyzer instances. [main-thread]
#pragma once

class GuiCtrl;

// Builds a complete instance; returns null when memory ran out (nothing is left behind).
GuiCtrl* createInstance();

// Deletes the instance (null deletes nothing).
void destroyInstance(GuiCtrl* instance);
