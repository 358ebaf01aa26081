for (;;) { try { for (;;) {} } catch (e) {} }
