#pragma once
// The program's own look: the same style and light palette whatever the desktop's theme or
// colour scheme.

// Sets the program's style and its light palette on the running application. Every colour the
// windows give their texts is chosen for a light background; a dark desktop theme would leave
// the navy, maroon and purple captions unreadable.
void applyOwnLook();
