// A stand-in for the X Xinerama client library, preloaded into Wine's processes so that Wine's
// X11 driver sees the monitors a scenario asks for on one large Xvfb screen. Its soname is
// libXinerama.so.1: Wine opens the library by that name and is handed this one, already loaded.
// The heads come from QUILLET_XINERAMA_HEADS, "WxH+X+Y,..." in X coordinates, the primary first.
// Built without X11 or libc headers, so that a 32-bit copy needs no 32-bit development files:
// the few types are declared here, and calloc and getenv come from the process's own libc.

typedef int Bool;
typedef struct XDisplay Display;
typedef struct {
    int screen_number;
    short x_org;
    short y_org;
    short width;
    short height;
} XineramaScreenInfo;

void* calloc(__SIZE_TYPE__ count, __SIZE_TYPE__ size);
char* getenv(const char* name);

enum { kMaxHeads = 16 };

static const char* Heads(void) {
    const char* text = getenv("QUILLET_XINERAMA_HEADS");
    return text && *text ? text : 0;
}

// Reads an unsigned decimal number and steps past it.
static short ReadNumber(const char** text) {
    int value = 0;
    while (**text >= '0' && **text <= '9') {
        value = value * 10 + (*(*text)++ - '0');
    }
    return (short)value;
}

// Reads "WxH+X+Y" and steps past it and the comma after it; 0 when the text is malformed.
static int ReadHead(const char** text, XineramaScreenInfo* head) {
    head->width = ReadNumber(text);
    if (*(*text)++ != 'x') {
        return 0;
    }
    head->height = ReadNumber(text);
    if (*(*text)++ != '+') {
        return 0;
    }
    head->x_org = ReadNumber(text);
    if (*(*text)++ != '+') {
        return 0;
    }
    head->y_org = ReadNumber(text);
    if (**text == ',') {
        (*text)++;
    }
    return head->width > 0 && head->height > 0;
}

Bool XineramaQueryExtension(Display* display, int* eventBase, int* errorBase) {
    (void)display;
    *eventBase = 0;
    *errorBase = 0;
    return Heads() != 0;
}

int XineramaQueryVersion(Display* display, int* major, int* minor) {
    (void)display;
    *major = 1;
    *minor = 1;
    return Heads() != 0;
}

Bool XineramaIsActive(Display* display) {
    (void)display;
    return Heads() != 0;
}

// The caller frees the list with XFree, which is libc's free. Malformed text ends the list.
XineramaScreenInfo* XineramaQueryScreens(Display* display, int* number) {
    (void)display;
    *number = 0;
    const char* text = Heads();
    if (!text) {
        return 0;
    }
    XineramaScreenInfo* heads = calloc(kMaxHeads, sizeof(XineramaScreenInfo));
    if (!heads) {
        return 0;
    }
    while (*text && *number < kMaxHeads && ReadHead(&text, &heads[*number])) {
        heads[*number].screen_number = *number;
        (*number)++;
    }
    return *number > 0 ? heads : 0;
}
