/* An empty program, linked statically: the cost of starting and ending a
   process on this machine, the floor under every whole-process figure. */
int main(void) { return 0; }
