/* Toggles P1.0 with a busy-wait delay. */
#include <8051.h>

static void delay(unsigned int n)
{
    while (n--) {
        unsigned char i = 200;
        while (i--)
            ;
    }
}

void main(void)
{
    for (;;) {
        P1_0 = !P1_0;
        delay(500);
    }
}
