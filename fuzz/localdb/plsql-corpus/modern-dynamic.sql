declare
  type t_t is table of number index by binary_integer;
  t t_t;
  n number;
begin
  case n when 1 then null; else n := case when n is null then 0 end; end case;
  for i in 1 .. 3 loop continue when i = 2; n := i; end loop;
  execute immediate 'select count(*) from emp where deptno = :d' into n using 10;
  select sal bulk collect into t from emp;
  forall i in 1 .. 2 update emp set sal = sal where empno = i;
  dbms_output.put_line(dbms_utility.format_error_stack || sys_context('USERENV', 'CURRENT_USER'));
end;
