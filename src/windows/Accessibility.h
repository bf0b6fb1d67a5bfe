#pragma once

// What assistive technology reads of the drawn controls: panel buttons are buttons named by
// their captions, menu titles are menu items named by their titles that open a popup. Both
// can be pressed through the accessibility interface.

// Registers the accessible interfaces of PanelButton and MenuTitle; later calls do nothing.
void InstallChromeAccessibility();
