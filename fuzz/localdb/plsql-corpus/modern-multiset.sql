declare
  type nt is table of varchar2(10);
  a nt := nt('x', 'y', 'y');
  b nt := nt('y', 'z');
  c nt;
  n pls_integer;
begin
  c := a multiset union distinct b multiset except all nt('z');
  c := a multiset intersect b;
  n := cardinality(c);
  if 'y' member of a and 'q' not member b and nt('y') submultiset of a
     and a is not a set and c is not empty and b not submultiset a then
    n := cardinality(a multiset except distinct b);
  end if;
end;
